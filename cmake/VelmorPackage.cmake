# The Debian package, made by `cpack -G DEB` (scripts/package runs it and checks
# the result): velmor-monitor_<version>_<arch>.deb installing under /usr.

set(VELMOR_PACKAGE_MAINTAINER "velmor-monitor developers <maintainers@velmor.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "monitor and control a programmable DC bench power supply on a serial line")
set(CPACK_PACKAGE_DESCRIPTION [=[
A panel in Simplified Chinese, or in English, for a programmable DC bench
power supply on a serial port. It polls the supply every 500 ms and shows
the measured voltage and current, the setpoints, the output state, the
tracking mode and the channel; it sends setpoints within the limits of the
supply's rating, switches the output, the tracking mode and the channel,
reads the firmware version and the identification string, and logs the
traffic with byte counters. Scripts drive the supply through it over SCPI,
and it runs programmed lists of setpoints and watches readings against
limits.

The package also holds velmor-headless, which polls and records a supply
without a window (a systemd service per serial device, metrics for
Prometheus), and velmor-supply-sim, a simulated supply on a pseudo-terminal,
to try the panel without hardware.]=])

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMOR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries come from dpkg-shlibdeps; the window's texts need a CJK font,
# which no library names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
# Qt's own catalogues put the buttons of boxes and the file dialogs in the
# panel's language; without them those stay English and all else works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")

include(CPack)
