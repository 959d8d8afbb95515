# Finds QScintilla for Qt 6 the same way on every platform: the library qscintilla2_qt6 and the
# folder holding Qsci/qsciscintillabase.h. Neither Debian nor the installers ship a CMake package
# for it. Look for Qt 6 first: the headers usually sit in Qt's own include folder.
#
# Defines QScintilla_FOUND, QScintilla_INCLUDE_DIR, QScintilla_LIBRARY and the imported target
# QScintilla::QScintilla (include folder, library, Qt6::Widgets).
#
# On Windows a QScintilla DLL wants its functions declared as imported (QSCINTILLA_DLL); that is
# set when the DLL lies beside the library's bin folder, or by -DQScintilla_DLL=ON|OFF.

set(_cv_qsci_hints)
if(TARGET Qt6::Core)
    get_target_property(_cv_qt_include Qt6::Core INTERFACE_INCLUDE_DIRECTORIES)
    foreach(dir IN LISTS _cv_qt_include)
        # Qt's module folders (…/QtCore) sit in its include folder.
        if(NOT dir MATCHES "\\$<")
            get_filename_component(_cv_parent "${dir}" DIRECTORY)
            list(APPEND _cv_qsci_hints "${dir}" "${_cv_parent}")
        endif()
    endforeach()
endif()

find_path(QScintilla_INCLUDE_DIR NAMES Qsci/qsciscintillabase.h
          HINTS ${_cv_qsci_hints} PATH_SUFFIXES qt6 x86_64-linux-gnu/qt6 aarch64-linux-gnu/qt6)
find_library(QScintilla_LIBRARY_RELEASE NAMES qscintilla2_qt6)
find_library(QScintilla_LIBRARY_DEBUG NAMES qscintilla2_qt6d qscintilla2_qt6_debug)

include(SelectLibraryConfigurations)
select_library_configurations(QScintilla)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla REQUIRED_VARS QScintilla_LIBRARY QScintilla_INCLUDE_DIR)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
    add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
    set_target_properties(QScintilla::QScintilla PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}")
    # Release first: configurations without a library of their own take the first one listed.
    foreach(config RELEASE DEBUG)
        if(QScintilla_LIBRARY_${config})
            set_property(TARGET QScintilla::QScintilla APPEND PROPERTY IMPORTED_CONFIGURATIONS ${config})
            set_target_properties(QScintilla::QScintilla PROPERTIES
                IMPORTED_LOCATION_${config} "${QScintilla_LIBRARY_${config}}")
            if(NOT _cv_qsci_any)
                set(_cv_qsci_any "${QScintilla_LIBRARY_${config}}")
                set_target_properties(QScintilla::QScintilla PROPERTIES IMPORTED_LOCATION "${_cv_qsci_any}")
            endif()
        endif()
    endforeach()
    if(TARGET Qt6::Widgets)
        set_property(TARGET QScintilla::QScintilla APPEND PROPERTY INTERFACE_LINK_LIBRARIES Qt6::Widgets)
    endif()
    if(WIN32)
        # A static QScintilla prints through Qt's print support; a DLL brings it along itself.
        find_package(Qt6 QUIET COMPONENTS PrintSupport)
        if(TARGET Qt6::PrintSupport)
            set_property(TARGET QScintilla::QScintilla APPEND PROPERTY
                INTERFACE_LINK_LIBRARIES Qt6::PrintSupport)
        endif()
        if(NOT DEFINED QScintilla_DLL)
            get_filename_component(_cv_qsci_lib_dir "${_cv_qsci_any}" DIRECTORY)
            file(GLOB _cv_qsci_dlls "${_cv_qsci_lib_dir}/../bin/*qscintilla2_qt6*.dll"
                 "${_cv_qsci_lib_dir}/*qscintilla2_qt6*.dll")
            if(_cv_qsci_dlls)
                set(QScintilla_DLL ON)
            else()
                set(QScintilla_DLL OFF)
            endif()
        endif()
        if(QScintilla_DLL)
            set_property(TARGET QScintilla::QScintilla APPEND PROPERTY
                INTERFACE_COMPILE_DEFINITIONS QSCINTILLA_DLL)
        endif()
    endif()
endif()

mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY_RELEASE QScintilla_LIBRARY_DEBUG)
unset(_cv_qsci_hints)
unset(_cv_qt_include)
unset(_cv_parent)
unset(_cv_qsci_lib_dir)
unset(_cv_qsci_dlls)
unset(_cv_qsci_any)
