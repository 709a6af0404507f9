#!/bin/sh
# Runs once after the last project.
echo "  after-all: $(ls "$(dirname "$0")/../builds" | wc -l) items in the builds folder"
