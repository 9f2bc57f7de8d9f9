# The plain logic's sources, found by the layout's rule (see the README): every .cpp in a core/
# folder of a feature folder. Both the main build and the fuzz build take this one list.
get_filename_component(SONAFEED_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
file(GLOB SONAFEED_CORE_SOURCES CONFIGURE_DEPENDS RELATIVE ${SONAFEED_ROOT}
     ${SONAFEED_ROOT}/*/core/*.cpp)
