#!/bin/sh
# Runs once after the last project.
here=$(dirname "$0")/..
echo "after-all: $(ls "$here/builds" | wc -l) items in the builds folder" >>"$here/build-log.txt"
