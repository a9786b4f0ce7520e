// libcurl fetches: filled in with the HTTP layer.
