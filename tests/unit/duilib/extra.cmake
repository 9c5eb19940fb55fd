# The UI tests draw and read pixels and tooltips, and read the shipped skin archive.
target_link_libraries(unit_${name} PRIVATE duilib comctl32 gdi32)
if(TARGET skin)
  add_dependencies(unit_${name} skin)
endif()
