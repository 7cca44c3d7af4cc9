# Run by `cmake --install`: writes the D-Bus service file naming the
# executable where this installation put it. The prefix is only known now
# (--prefix overrides the configured one), and DESTDIR stages the files
# without being part of the path the bus will run.
foreach(folder bindir servicedir)
    if(NOT IS_ABSOLUTE "${bramblecrest_${folder}}")
        set(bramblecrest_${folder} "${CMAKE_INSTALL_PREFIX}/${bramblecrest_${folder}}")
    endif()
endforeach()
set(executable "${bramblecrest_bindir}/bramblecrest")
set(service "$ENV{DESTDIR}${bramblecrest_servicedir}/org.bramblecrest.Bramblecrest.service")

file(READ "${bramblecrest_service_template}" template)
message(STATUS "Installing: ${service}")
file(CONFIGURE OUTPUT "${service}" CONTENT "${template}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${service}")
