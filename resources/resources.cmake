# The program icon, built into the desktop library as Qt resources :/icons/zarare-16.png and
# :/icons/zarare-32.png. zarare.ico is the same image for Windows; make_icon.py draws all three.
qt_add_resources(zarare_desktop zarare_icons
  PREFIX "/icons"
  BASE ${CMAKE_CURRENT_LIST_DIR}
  FILES ${CMAKE_CURRENT_LIST_DIR}/zarare-16.png ${CMAKE_CURRENT_LIST_DIR}/zarare-32.png)

# The program's identity on the desktop: a desktop entry and the icon in the theme's sizes.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zar-are.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zarare-16.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps
        RENAME zar-are.png)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zarare-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME zar-are.png)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zarare.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME zar-are.svg)
