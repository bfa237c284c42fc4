"""The local engine that VARNO installs and opens.

This sample engine uses only the standard library: it serves its page and the
health answer on the loopback interface and keeps its log in the data folder.
"""
