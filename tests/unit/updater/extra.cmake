target_link_libraries(unit_${name} PRIVATE ws2_32)
