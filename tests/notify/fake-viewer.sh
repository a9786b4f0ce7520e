#!/bin/sh
# Stands in for vormla-results: writes how it was started (its path, then each
# argument on a line of its own) to $VORMLA_TEST_VIEWER_LOG.
printf '%s\n' "$0" "$@" >"$VORMLA_TEST_VIEWER_LOG.part" && mv "$VORMLA_TEST_VIEWER_LOG.part" "$VORMLA_TEST_VIEWER_LOG"
