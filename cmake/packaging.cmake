# The Debian package (scripts/package): `cpack` in a build folder writes huilan_VERSION_ARCH.deb.
# Its Depends come from dpkg-shlibdeps on the programs (the runtime libraries they link), plus
# the plug-ins Qt loads by name at run time, which no link records.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME huilan)
set(CPACK_PACKAGE_VENDOR "Huilan")
set(CPACK_PACKAGE_CONTACT "${HUILAN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A-share stock intelligence: quotes, large orders, news and alerts")
set(CPACK_PACKAGE_DESCRIPTION "汇澜股票情报系统: type a six-digit stock code and Huilan gathers
the live quote, large-order buying and selling, commentary, rumours, research
reports, announcements and forum posts about that stock; in the background it
pops up alerts for a list of watched stocks. huilan-sandbox is a local server
standing in for every remote site, for trying the program out; huilan-server
is the companion server on its own, for one user or a group, with a systemd
service and an example nginx site.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY huilan)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SQLite driver is a plug-in the alert database needs; the others are what the windows and
# the TV viewer use when present (Wayland sessions without XWayland, Chinese fonts, stream playback).
# The PostgreSQL driver is what huilan-server needs for a group's database.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql, postgresql, nginx")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, fonts-wqy-microhei | fonts-noto-cjk, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${HUILAN_HOMEPAGE}")
include(CPack)
