#!/usr/bin/env bash
# Runs a check, or says in one line that its tool is missing and exits with
# 77 (skipped):  need.sh <package of the tool> <tool> <arguments>...
command -v "$2" >/dev/null || { echo "skipped: $2 is not installed (package $1)"; exit 77; }
exec "${@:2}"
