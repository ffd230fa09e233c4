// Written by its issue's helper.
