"""Derivation of the default station table from the station sources of ../shared/data."""
