# The light theme: the colours and images that cmake/RenderThemes.cmake fills into theme.css.in
# (and the link colour into the window's code). Every name here is in the other palette too.
set(images ":/qss/light") # the folder of the theme's images
set(window "#FFFFFF") # window background; also the application palette's
set(panel "#F5F7F8") # camera list, the Control page's area, table headers
set(label_text "rgba(0, 0, 0, 0.85)") # text of plain labels
set(text "#262626") # text of fields, lists, menus and buttons
set(state_text "#4a4a4a") # the camera state in the title bar
set(navigation_text "#8C959D") # the page buttons when not chosen
set(disabled_text "#B4BBC1") # text of disabled fields and menu items
set(field "#FFFFFF") # background of fields, drop-downs, menus and tool tips
set(disabled_field "#F5F7F8") # background of disabled fields
set(border "#DADFE4") # border of fields, menus and tool tips
set(disabled_border "#E6EAED") # border of disabled fields
set(hover "#EEF1F3") # background of a tool button or list item under the pointer
set(selection "#E6F8F4") # background of a chosen entry in a drop-down or menu
set(selected_item "#FBFBFB") # background of the chosen camera
set(preview_border "#dadfe4") # the dashed border of the idle preview
set(scroll_handle "#C9CFD4") # scroll bar handle
set(scroll_handle_hover "#AEB6BD") # scroll bar handle under the pointer
set(light_button_icon "icon-mode-light") # image of the light-theme button when not chosen
set(light_button_border "transparent") # underline of the light-theme button when not chosen
set(switch_closed_icon "switch-close") # image of the switch when off
set(arrow_variant "") # ending of the direction pad's image names
set(direction_hover "rgba(0, 188, 148, 0.15)") # direction button under the pointer
set(direction_pressed "rgba(0, 188, 148, 0.30)") # direction button pressed
set(section_head "#FFFFFF") # heads of the Support page's sections
set(progress_track "#E6EAED") # the upgrade progress bar's track
set(link "#000000") # links of the Support page (set by the window, not by the style sheet)
