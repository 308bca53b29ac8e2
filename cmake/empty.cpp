// Lets a library exist before its folder has sources.
