# The program icon, built into the platform library as Qt resources :/icons/zarare-16.png and
# :/icons/zarare-32.png. zarare.ico is the same image for Windows; make_icon.py draws all three.
qt_add_resources(zarare_platform zarare_icons
  PREFIX "/icons"
  BASE ${CMAKE_CURRENT_LIST_DIR}
  FILES ${CMAKE_CURRENT_LIST_DIR}/zarare-16.png ${CMAKE_CURRENT_LIST_DIR}/zarare-32.png)
