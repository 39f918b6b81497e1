# The Windows build (make windows): the user-mode deliverables only, compiled
# against the real SDK headers (plus platform/sdk-extra for what mingw-w64
# lacks) instead of the stand-ins, each a 32-bit binary with its resources.
enable_language(RC)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
include_directories(${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform/sdk-extra)
set(QCAM_WINDOWS_LIBS ole32 oleaut32 uuid strmiids quartz comctl32 user32 advapi32 gdi32 kernel32)

# qcamext.ax: the DirectShow extension, exports named by its .def file.
file(GLOB QCAMEXT_SRC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/extension/*.cpp)
add_library(qcamext MODULE ${QCAMEXT_SRC} ${CMAKE_SOURCE_DIR}/extension/qcamext.rc
            ${CMAKE_SOURCE_DIR}/extension/qcamext.def)
set_target_properties(qcamext PROPERTIES PREFIX "" OUTPUT_NAME qcamext SUFFIX ".ax")
target_link_libraries(qcamext PRIVATE ${QCAM_WINDOWS_LIBS})
target_link_options(qcamext PRIVATE -static-libgcc -static-libstdc++)
