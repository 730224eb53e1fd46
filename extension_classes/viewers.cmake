# The image viewers, the shell and file trees and the general controls of KXC.
find_package(PkgConfig REQUIRED)
pkg_check_modules(MAGICKXX REQUIRED IMPORTED_TARGET Magick++)

target_sources(KXC PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/fab_dib_info.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_filter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_list_tree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/file_operations.cpp
    ${CMAKE_CURRENT_LIST_DIR}/general_controls.cpp
    ${CMAKE_CURRENT_LIST_DIR}/general_controls.h
    ${CMAKE_CURRENT_LIST_DIR}/panel_dither.cpp
    ${CMAKE_CURRENT_LIST_DIR}/panel_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell_tree.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell_tree.h
    ${CMAKE_CURRENT_LIST_DIR}/viewer_geometry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_host.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_host.h
    ${CMAKE_CURRENT_LIST_DIR}/viewer_pages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_pages.h
    ${CMAKE_CURRENT_LIST_DIR}/viewer_wnd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_wnd.h
    ${CMAKE_CURRENT_LIST_DIR}/wnd_socket.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wnd_socket.h)
target_link_libraries(KXC PRIVATE PkgConfig::MAGICKXX)

# The viewers and the file tree side by side: the window (tested on its own) and the program.
add_library(kimageviewer STATIC ${CMAKE_CURRENT_LIST_DIR}/image_viewer/viewer_window.cpp
                                ${CMAKE_CURRENT_LIST_DIR}/image_viewer/viewer_window.h)
target_link_libraries(kimageviewer PUBLIC KXC kplatform Qt6::Widgets)
add_executable(image-viewer ${CMAKE_CURRENT_LIST_DIR}/image_viewer/image_viewer.cpp)
target_link_libraries(image-viewer PRIVATE kimageviewer)
