# The start-up tests run the built zarvik.exe.
add_dependencies(unit_${name} zarvik)
