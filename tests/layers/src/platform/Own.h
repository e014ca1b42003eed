// The base's own file.
