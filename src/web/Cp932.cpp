// Code page 932 conversion: filled in with the converter.
