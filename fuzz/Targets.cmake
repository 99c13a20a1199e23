# One line per fuzz target; each folder's parser adds its own.
tarnwick_fuzz_target(reg_file SOURCE reg_file.cpp DEPS platform)
tarnwick_fuzz_target(buffer_codec SOURCE buffer_codec.cpp DEPS foundation)
tarnwick_fuzz_target(modbus_reply SOURCE modbus_reply.cpp DEPS comm)
tarnwick_fuzz_target(firmware_image SOURCE firmware_image.cpp DEPS foundation)
tarnwick_fuzz_target(sdi12_file SOURCE sdi12_file.cpp DEPS foundation)
tarnwick_fuzz_target(string_table_override SOURCE string_table_override.cpp DEPS foundation)
tarnwick_fuzz_target(probesim_file_requests SOURCE probesim_file_requests.cpp DEPS probesim)
tarnwick_fuzz_target(slave_id SOURCE slave_id.cpp DEPS comm)
