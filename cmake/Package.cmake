# The Debian package: `cpack -G DEB` in the build folder (after the build).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarvel)
# 1.0.N, N from the git history (cmake/Version.cmake): a rebuilt package upgrades.
set(CPACK_PACKAGE_VERSION ${QARVEL_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "The Qarvel developers")
set(CPACK_PACKAGE_CONTACT "${QARVEL_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "typing examination for Chinese text entry (汉字录入考试)")
set(CPACK_PACKAGE_DESCRIPTION
    "汉字录入考试：考生输入姓名、学号和考试时间后登录，照着固定的原文用中文输入法
（fcitx5 或 ibus）录入。程序逐字评判：打对的字变蓝，打错的字变红，并显示正确字数、
得分、剩余时间和已用时间；剪切、复制和粘贴一律无效。老师用 qarvel-check 检查原文。

Qarvel is a typing examination for Chinese text entry. An examinee signs in
with a name, a student number and an exam duration and types a fixed source
text through a Chinese input method (fcitx5 or ibus). Every character is
judged as it is typed, the source is coloured blue or red, and counters, a
score and two clocks run on screen; cut, copy and paste are refused. The
teacher's checker qarvel-check shows how a source text will be read.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QARVEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QARVEL_HOMEPAGE}")
# Library dependencies from the binaries; a serif face that holds all of GBK;
# Qt's own Chinese texts (its message boxes and menus), which lab images
# installed without recommends would otherwise lack; an input method to type
# Chinese with, and a Latin serif for the letters. The spreadsheet writer of
# qarvel-results (libxlsxwriter) is named as well as found in the links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-arphic-uming | fonts-noto-cjk, qt6-translations-l10n, libxlsxwriter4")
# libjpeg is loaded by its name while pictures are decoded (src/ui), so the
# binaries' links do not name it: its package is named here.
if(QARVEL_LOADED_JPEG)
    execute_process(COMMAND dpkg-query -S "${QARVEL_LOADED_JPEG}" OUTPUT_VARIABLE jpeg_owner
                    ERROR_QUIET)
    string(REGEX MATCH "^[^:,]+" jpeg_package "${jpeg_owner}")
    if(jpeg_package)
        string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${jpeg_package}")
    endif()
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fcitx5 | ibus, fcitx5-chinese-addons | ibus-libpinyin, fcitx5-frontend-qt6 | ibus, fonts-liberation2")
include(CPack)
