# One line per fuzz target; each folder's parser adds its own.
