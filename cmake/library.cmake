# libkolva: the engine behind the C interface of include/kolva/kolva.h
# (with the C++ header kolva.hpp over it), static and shared. Both hold
# the statistic, the eigen-solver kernels, the thread helpers and the
# program's reading of its files, built position-independent, so that the
# shared library and the Python and R modules can link them.
set_target_properties(kolva_common kolva_numeric kolva_combine kolva_textio kolva_runfiles
                      PROPERTIES POSITION_INDEPENDENT_CODE ON)

add_library(kolva_api OBJECT ${KOLVA_API_SRC})
target_include_directories(kolva_api PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                           PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(kolva_api PRIVATE KOLVA_BUILDING KOLVA_VERSION="${PROJECT_VERSION}")
set_target_properties(kolva_api PROPERTIES POSITION_INDEPENDENT_CODE ON)

set(KOLVA_LIBRARY_OBJECTS $<TARGET_OBJECTS:kolva_api> $<TARGET_OBJECTS:kolva_combine>
    $<TARGET_OBJECTS:kolva_numeric> $<TARGET_OBJECTS:kolva_runfiles>
    $<TARGET_OBJECTS:kolva_textio> $<TARGET_OBJECTS:kolva_common>)
set(KOLVA_LIBRARY_PARTS kolva_api kolva_combine kolva_numeric kolva_runfiles kolva_textio
    kolva_common)

# The shared library exports the kolva_ functions alone.
add_library(kolva_shared SHARED ${KOLVA_LIBRARY_OBJECTS})
add_dependencies(kolva_shared ${KOLVA_LIBRARY_PARTS})
set_target_properties(kolva_shared PROPERTIES OUTPUT_NAME kolva VERSION ${PROJECT_VERSION}
                      SOVERSION ${PROJECT_VERSION_MAJOR})
target_link_libraries(kolva_shared PRIVATE Threads::Threads)
target_link_options(kolva_shared PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/libkolva.map)
# Every symbol resolved at link time, except in the checked builds, whose
# sanitizer runtimes the executables bring.
if(NOT KOLVA_CHECKED_BUILD)
  target_link_options(kolva_shared PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(kolva_shared PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/libkolva.map)
target_include_directories(kolva_shared INTERFACE
                           $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

add_library(kolva_static STATIC ${KOLVA_LIBRARY_OBJECTS})
add_dependencies(kolva_static ${KOLVA_LIBRARY_PARTS})
set_target_properties(kolva_static PROPERTIES OUTPUT_NAME kolva)
target_link_libraries(kolva_static INTERFACE Threads::Threads)
target_include_directories(kolva_static INTERFACE
                           $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# The C++ example, built against the library in the tree.
add_executable(kolva_example examples/cpp/combine.cpp)
target_link_libraries(kolva_example PRIVATE kolva_shared)
