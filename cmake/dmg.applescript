-- Lays out the disk image's window over its background: the application on the
-- left end of the drawn arrow, the Applications link on its right end.
on run argv
    set volumen to item 1 of argv
    tell application "Finder"
        tell disk volumen
            open
            set current view of container window to icon view
            set toolbar visible of container window to false
            set statusbar visible of container window to false
            set the bounds of container window to {200, 120, 800, 542}
            set opciones to the icon view options of container window
            set arrangement of opciones to not arranged
            set icon size of opciones to 96
            set text size of opciones to 12
            set background picture of opciones to file ".background:background.tiff"
            set position of item "VARNO.app" of container window to {150, 190}
            set position of item "Applications" of container window to {450, 190}
            update without registering applications
            delay 2
            close
        end tell
    end tell
end run
