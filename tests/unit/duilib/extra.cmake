# The UI tests draw and read pixels and tooltips.
target_link_libraries(unit_${name} PRIVATE duilib comctl32 gdi32)
