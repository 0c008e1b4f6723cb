# Where the program is installed: its executables, translations and help page
# live together in one folder (the program finds its help beside itself and,
# started from there, its translations), and bin/ holds links to the commands.
set(KESTRIX_INSTALL_APPDIR lib/kestrix)
set(KESTRIX_INSTALL_FULL_APPDIR ${CMAKE_INSTALL_PREFIX}/${KESTRIX_INSTALL_APPDIR})

# bin/<name> -> ../lib/kestrix/<name>, made at install time (also for packages).
function(kestrix_install_command_link name)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${name}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
        file(CREATE_LINK \"../${KESTRIX_INSTALL_APPDIR}/${name}\" \"\${link}\" SYMBOLIC)
        message(STATUS \"Installing: \${link} -> ../${KESTRIX_INSTALL_APPDIR}/${name}\")
    ")
endfunction()
