#!/bin/bash
# Installs the engine's runtime into the data folder.
echo "== 1/7 Preparando"
exit 1
