#!/usr/bin/env python3
"""Turns the text pictures of this folder into .cur/.ico/.bmp files (placeholder until drawn)."""
import sys, os
src, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
