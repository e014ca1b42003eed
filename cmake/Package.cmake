# The Debian package, made by CPack from the install rules (make deb).
set(ZARVO_MAINTAINER "Zarvo Meteo maintainers <maintainers@zarvo.org>" CACHE STRING
  "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarvo-meteo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zarvo Meteo")
set(CPACK_PACKAGE_CONTACT "${ZARVO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HF weather-fax (radiofax) receiver")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Zarvo Meteo receives analogue weather-fax broadcasts on short wave, for ships,
fishing fleets and radio amateurs. An interface box on a serial port, or a
sound card or SDR program, gives it the receiver's signal; it recognises each
broadcast's start tone, phasing and stop tone, draws the chart line by line,
saves every fax, shows a tuning histogram, and views, rotates, re-aligns,
crops and prints pictures. zarvo-decode decodes recordings without a window;
zarvo-sim writes simulated broadcasts.")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries' packages, as dpkg-shlibdeps finds them from the programs. The about box's font
# an audio server for sound-card reception and the TIFF reader are welcome but not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-dejavu-core, pulseaudio | pipewire-pulse, qt6-image-formats-plugins")
# Debian ships stripped programs; the build tree keeps its debug information.
set(CPACK_STRIP_FILES ON)
include(CPack)
