# The main window tests build the shipped skin from zarvik.ui beside the test program.
target_link_libraries(unit_${name} PRIVATE duilib comctl32 gdi32)
if(TARGET skin)
  add_dependencies(unit_${name} skin)
endif()
