# The reporter's shared report code (config text, description XML) is tested directly; the probe
# and the sender must sit beside the test program.
target_link_libraries(unit_crashrpt PRIVATE crashrpt_report)
add_dependencies(unit_crashrpt crashrpt_probe crash_sender)
