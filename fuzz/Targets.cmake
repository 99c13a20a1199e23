# One line per fuzz target; each folder's parser adds its own.
tarnwick_fuzz_target(reg_file SOURCE reg_file.cpp DEPS platform)
tarnwick_fuzz_target(buffer_codec SOURCE buffer_codec.cpp DEPS foundation)
