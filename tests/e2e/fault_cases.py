"""Placeholder for the hostile-machine cases."""
