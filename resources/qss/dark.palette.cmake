# The dark theme: the colours and images that cmake/RenderThemes.cmake fills into theme.css.in
# (and the link colour into the window's code). Every name here is in the other palette too.
set(images ":/qss/dark") # the folder of the theme's images
set(window "#000000") # window background; also the application palette's
set(panel "#1A1A1A") # camera list, the Control page's area, table headers
set(label_text "rgba(255, 255, 255, 0.85)") # text of plain labels
set(text "#E6E6E6") # text of fields, lists, menus and buttons
set(state_text "#ffffff") # the camera state in the title bar
set(navigation_text "#8F8F8F") # the page buttons when not chosen
set(disabled_text "#5C5C5C") # text of disabled fields and menu items
set(field "#1E1E1E") # background of fields, drop-downs, menus and tool tips
set(disabled_field "#141414") # background of disabled fields
set(border "#3A3A3A") # border of fields, menus and tool tips
set(disabled_border "#2A2A2A") # border of disabled fields
set(hover "#2E2E2E") # background of a tool button or list item under the pointer
set(selection "#12392F") # background of a chosen entry in a drop-down or menu
set(selected_item "#525252") # background of the chosen camera
set(preview_border "#333333") # the dashed border of the idle preview
set(scroll_handle "#4A4A4A") # scroll bar handle
set(scroll_handle_hover "#5E5E5E") # scroll bar handle under the pointer
set(light_button_icon "icon-mode-dark") # image of the light-theme button when not chosen
set(light_button_border "#00BC94") # underline of the light-theme button when not chosen
set(switch_closed_icon "switch-close-dark") # image of the switch when off
set(arrow_variant "-dark") # ending of the direction pad's image names
set(direction_hover "rgba(0, 188, 148, 0.25)") # direction button under the pointer
set(direction_pressed "rgba(0, 188, 148, 0.45)") # direction button pressed
set(section_head "#3E3E3E") # heads of the Support page's sections
set(progress_track "#333333") # the upgrade progress bar's track
set(link "#DEE2E2") # links of the Support page (set by the window, not by the style sheet)
