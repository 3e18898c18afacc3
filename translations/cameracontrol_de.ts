<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>DeviceAccessNotices</name>
    <message>
        <source>This user may not open the camera&apos;s video device %1. Add the user to the group &quot;video&quot; and log in again, or use a desktop session that grants the seat&apos;s devices (see &quot;Privileges&quot; in the README).</source>
        <translation>Dieser Benutzer darf das Videogerät %1 der Kamera nicht öffnen. Fügen Sie den Benutzer der Gruppe „video“ hinzu und melden Sie sich neu an, oder verwenden Sie eine Desktop-Sitzung, die die Geräte des Arbeitsplatzes freigibt (siehe „Privileges“ in der README).</translation>
    </message>
    <message>
        <source>This user may not open %1, through which a camera in its updater stage is upgraded. Install the rule 70-cameracontrol-updater.rules (the package does) and plug the camera in again, or add the user to the group &quot;disk&quot; (see &quot;Privileges&quot; in the README).</source>
        <translation>Dieser Benutzer darf %1 nicht öffnen, über das eine Kamera im Aktualisierungsmodus aktualisiert wird. Installieren Sie die Regel 70-cameracontrol-updater.rules (das Paket erledigt das) und schließen Sie die Kamera erneut an, oder fügen Sie den Benutzer der Gruppe „disk“ hinzu (siehe „Privileges“ in der README).</translation>
    </message>
</context>
<context>
    <name>FormAbnormal</name>
    <message>
        <source>Upgrade</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Anomaly detection, please upgrade it again.&lt;/h3&gt;</source>
        <translation>&lt;h3&gt;Störung erkannt. Bitte aktualisieren Sie die Kamera erneut.&lt;/h3&gt;</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Upgrade &amp;&amp; Reboot</source>
        <translation>Aktualisieren &amp;&amp; neu starten</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Upgrade File(*.zip)</source>
        <translation>Firmware-Paket (*.zip)</translation>
    </message>
</context>
<context>
    <name>FormCustomizeMessagebox</name>
    <message>
        <source>Tips</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The window will close automatically after %1 seconds.</source>
        <translation>Das Fenster schließt sich in %1 Sekunden.</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
</context>
<context>
    <name>FormUpgrade</name>
    <message>
        <source>Upgrade</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Get Ready to Update&lt;/h3&gt;Make sure your camera is not in use by another application before proceeding with this software update. &lt;br&gt;&lt;br&gt;This update takes a few minutes to complete. &lt;br&gt;&lt;br&gt;&lt;b&gt;Do not disconnect your device&lt;/b&gt; during the update process.</source>
        <translation>&lt;h3&gt;Aktualisierung vorbereiten&lt;/h3&gt;Stellen Sie sicher, dass keine andere Anwendung die Kamera verwendet, bevor Sie mit dieser Softwareaktualisierung fortfahren. &lt;br&gt;&lt;br&gt;Die Aktualisierung dauert einige Minuten. &lt;br&gt;&lt;br&gt;&lt;b&gt;Trennen Sie das Gerät nicht&lt;/b&gt;, solange die Aktualisierung läuft.</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Control</source>
        <translation>Steuerung</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>HDR:</source>
        <translation>HDR:</translation>
    </message>
    <message>
        <source>Powerline Frequency:
(Anti Flicker)</source>
        <translation>Netzfrequenz:
(Flimmerschutz)</translation>
    </message>
    <message>
        <source>Tracking Mode:</source>
        <translation>Tracking-Modus:</translation>
    </message>
    <message>
        <source>Tracking Effect:</source>
        <translation>Tracking-Effekt:</translation>
    </message>
    <message>
        <source>Tracking Speed:</source>
        <translation>Tracking-Tempo:</translation>
    </message>
    <message>
        <source>Mic：</source>
        <translation>Mikrofon:</translation>
    </message>
    <message>
        <source>Restore Defaults:</source>
        <translation>Standardwerte:</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>Geräteinformationen</translation>
    </message>
    <message>
        <source>Device Model:</source>
        <translation>Gerätemodell:</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>Aktuelle Version:</translation>
    </message>
    <message>
        <source>Customer Software Update</source>
        <translation>Software-Aktualisierung</translation>
    </message>
    <message>
        <source>Upgrade &amp;&amp; Reboot</source>
        <translation>Aktualisieren &amp;&amp; neu starten</translation>
    </message>
    <message>
        <source>Desktop Version</source>
        <translation>Programmversion</translation>
    </message>
    <message>
        <source>Current:</source>
        <translation>Aktuell:</translation>
    </message>
    <message>
        <source>The setting has timed out, please try again.</source>
        <translation>Zeitüberschreitung bei der Einstellung. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The operation has timed out, please try again.</source>
        <translation>Zeitüberschreitung beim Vorgang. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>&lt;h6 style=text-align:center&gt;&lt;font color = gray&gt;Click the icon to start preview.&lt;/font&gt;&lt;/h6&gt; &lt;h6 style=text-align:center&gt;&lt;font color = orange&gt;Other apps can’t access the camera while you preview it on this app.&lt;/font&gt;&lt;/h6&gt;</source>
        <translation>&lt;h6 style=text-align:center&gt;&lt;font color = gray&gt;Klicken Sie auf das Symbol, um die Vorschau zu starten.&lt;/font&gt;&lt;/h6&gt; &lt;h6 style=text-align:center&gt;&lt;font color = orange&gt;Während der Vorschau können andere Anwendungen nicht auf die Kamera zugreifen.&lt;/font&gt;&lt;/h6&gt;</translation>
    </message>
    <message>
        <source>Cannot exit during the upgrade process!</source>
        <translation>Während der Aktualisierung kann das Programm nicht beendet werden!</translation>
    </message>
    <message>
        <source>To complete this process, your device may take a few seconds to restart.</source>
        <translation>Zum Abschluss startet das Gerät eventuell neu; das kann einige Sekunden dauern.</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Restore Defaults&lt;/h3&gt;<byte value="xd"/>
To complete this process, your device may take a few seconds to restart.</source>
        <translation>&lt;h3&gt;Standardwerte wiederherstellen&lt;/h3&gt;<byte value="xd"/>
Zum Abschluss startet das Gerät eventuell neu; das kann einige Sekunden dauern.</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1&quot; target=_blank&gt;Documentation&lt;/a&gt;</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1&quot; target=_blank&gt;Dokumentation&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;User Guide</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;Benutzerhandbuch</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;Contact Support</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;Support kontaktieren</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Upgrade File(*.zip)</source>
        <translation>Firmware-Paket (*.zip)</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The format of firmware file is not correct.</source>
        <translation>&lt;h3&gt;Aktualisierung derzeit nicht möglich.&lt;/h3&gt;<byte value="xd"/>
Das Format der Firmware-Datei ist nicht korrekt.</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The firmware file is corrupted.</source>
        <translation>&lt;h3&gt;Aktualisierung derzeit nicht möglich.&lt;/h3&gt;<byte value="xd"/>
Die Firmware-Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The firmware version does not match with this model.</source>
        <translation>&lt;h3&gt;Aktualisierung derzeit nicht möglich.&lt;/h3&gt;<byte value="xd"/>
Die Firmware-Version passt nicht zu diesem Modell.</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Firmware upgrade is successful!&lt;/h3&gt;</source>
        <translation>&lt;h3&gt;Firmware erfolgreich aktualisiert!&lt;/h3&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Firmware upgrade failed!&lt;/h3&gt;<byte value="xd"/>
please try to unplug and plug the USB cable for upgrade again.</source>
        <translation>&lt;h3&gt;Firmware-Aktualisierung fehlgeschlagen!&lt;/h3&gt;<byte value="xd"/>
Bitte ziehen Sie das USB-Kabel ab, stecken Sie es wieder ein und aktualisieren Sie erneut.</translation>
    </message>
    <message>
        <source>Light theme</source>
        <translation>Helles Design</translation>
    </message>
    <message>
        <source>Switches between the light and the dark theme.</source>
        <translation>Wechselt zwischen hellem und dunklem Design.</translation>
    </message>
    <message>
        <source>Dark theme</source>
        <translation>Dunkles Design</translation>
    </message>
    <message>
        <source>Shows the camera&apos;s settings and the preview.</source>
        <translation>Zeigt die Einstellungen der Kamera und die Vorschau.</translation>
    </message>
    <message>
        <source>Shows the device information, the firmware upgrade and the support links.</source>
        <translation>Zeigt die Geräteinformationen, die Firmware-Aktualisierung und die Support-Links.</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Kameras</translation>
    </message>
    <message>
        <source>Choosing a camera opens it.</source>
        <translation>Eine ausgewählte Kamera wird geöffnet.</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Space or Enter starts and stops the preview.</source>
        <translation>Leertaste oder Eingabetaste startet und beendet die Vorschau.</translation>
    </message>
    <message>
        <source>HDR</source>
        <translation>HDR</translation>
    </message>
    <message>
        <source>Anti-flicker</source>
        <translation>Flimmerschutz</translation>
    </message>
    <message>
        <source>Tracking mode</source>
        <translation>Tracking-Modus</translation>
    </message>
    <message>
        <source>Tracking effect</source>
        <translation>Tracking-Effekt</translation>
    </message>
    <message>
        <source>Tracking speed</source>
        <translation>Tracking-Tempo</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>Mikrofon</translation>
    </message>
    <message>
        <source>Direction pad</source>
        <translation>Steuerkreuz</translation>
    </message>
    <message>
        <source>The arrow keys move the picture one step; + and - zoom.</source>
        <translation>Die Pfeiltasten verschieben das Bild um einen Schritt; + und - zoomen.</translation>
    </message>
    <message>
        <source>Tilt up</source>
        <translation>Nach oben neigen</translation>
    </message>
    <message>
        <source>Tilt down</source>
        <translation>Nach unten neigen</translation>
    </message>
    <message>
        <source>Pan left</source>
        <translation>Nach links schwenken</translation>
    </message>
    <message>
        <source>Pan right</source>
        <translation>Nach rechts schwenken</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>From 100% to 800%; + and - change it by one step.</source>
        <translation>Von 100 % bis 800 %; + und - ändern ihn um einen Schritt.</translation>
    </message>
    <message>
        <source>Restores the camera&apos;s settings; the camera may restart.</source>
        <translation>Setzt die Einstellungen der Kamera zurück; die Kamera startet eventuell neu.</translation>
    </message>
    <message>
        <source>Shows or hides the section.</source>
        <translation>Blendet den Abschnitt ein oder aus.</translation>
    </message>
    <message>
        <source>Asks for a firmware package and upgrades the camera with it.</source>
        <translation>Fragt nach einem Firmware-Paket und aktualisiert die Kamera damit.</translation>
    </message>
    <message>
        <source>Upgrade progress</source>
        <translation>Fortschritt der Aktualisierung</translation>
    </message>
    <message>
        <source>The upgrade needs administrator rights, and they were not given. Nothing was changed on the camera.</source>
        <translation>Die Aktualisierung braucht Administratorrechte, und sie wurden nicht erteilt. An der Kamera wurde nichts geändert.</translation>
    </message>
    <message>
        <source>The upgrade needs administrator rights, and the program could not be started with them (%1).</source>
        <translation>Die Aktualisierung braucht Administratorrechte, und das Programm konnte nicht mit ihnen gestartet werden (%1).</translation>
    </message>
    <message>
        <source>The camera to upgrade is not connected.</source>
        <translation>Die zu aktualisierende Kamera ist nicht angeschlossen.</translation>
    </message>
    <message>
        <source>Profile:</source>
        <translation>Profil:</translation>
    </message>
    <message>
        <source>Save as...</source>
        <translation>Sichern...</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Anwenden</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Apply when this camera connects</source>
        <translation>Beim Anschließen anwenden</translation>
    </message>
    <message>
        <source>Ctrl+%1 applies it</source>
        <translation>Strg+%1 wendet es an</translation>
    </message>
    <message>
        <source>Name of the profile:</source>
        <translation>Name des Profils:</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot name a profile: give 1 to 64 characters, without / \ : * ? &quot; &lt; &gt; | and not starting with a point.</source>
        <translation>„%1“ kann kein Profil benennen: 1 bis 64 Zeichen, ohne / \ : * ? &quot; &lt; &gt; | und nicht mit einem Punkt am Anfang.</translation>
    </message>
    <message>
        <source>A profile named %1 exists. Replace it?</source>
        <translation>Ein Profil namens %1 ist vorhanden. Ersetzen?</translation>
    </message>
    <message>
        <source>Saved %1.</source>
        <translation>%1 gespeichert.</translation>
    </message>
    <message>
        <source>Delete the profile %1?</source>
        <translation>Das Profil %1 löschen?</translation>
    </message>
    <message>
        <source>%1: nothing to change.</source>
        <translation>%1: nichts zu ändern.</translation>
    </message>
    <message>
        <source>%1: changed %2.</source>
        <translation>%1: %2 geändert.</translation>
    </message>
    <message>
        <source>Not taken: %1.</source>
        <translation>Nicht übernommen: %1.</translation>
    </message>
    <message>
        <source>Left out: %1.</source>
        <translation>Ausgelassen: %1.</translation>
    </message>
    <message>
        <source>The camera restarts; the rest follows when it is back.</source>
        <translation>Die Kamera startet neu; der Rest folgt, sobald sie wieder da ist.</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>Shows the picture controls of the camera: brightness, white balance, exposure.</source>
        <translation>Zeigt die Bildeinstellungen der Kamera: Helligkeit, Weißabgleich, Belichtung.</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Ctrl+1 to Ctrl+9 apply the first nine profiles.</source>
        <translation>Strg+1 bis Strg+9 wenden die ersten neun Profile an.</translation>
    </message>
</context>
<context>
    <name>PicturePage</name>
    <message>
        <source>Brightness</source>
        <translation>Helligkeit</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>Kontrast</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>Sättigung</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>Farbton</translation>
    </message>
    <message>
        <source>Automatic hue</source>
        <translation>Automatischer Farbton</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>Schärfe</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>Gamma</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>Verstärkung</translation>
    </message>
    <message>
        <source>Automatic gain</source>
        <translation>Automatische Verstärkung</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>Gegenlichtausgleich</translation>
    </message>
    <message>
        <source>Power line frequency</source>
        <translation>Netzfrequenz</translation>
    </message>
    <message>
        <source>Automatic white balance</source>
        <translation>Automatischer Weißabgleich</translation>
    </message>
    <message>
        <source>White balance temperature</source>
        <translation>Farbtemperatur</translation>
    </message>
    <message>
        <source>Exposure mode</source>
        <translation>Belichtungsmodus</translation>
    </message>
    <message>
        <source>Exposure time</source>
        <translation>Belichtungszeit</translation>
    </message>
    <message>
        <source>Lower frame rate in low light</source>
        <translation>Weniger Bilder/s bei wenig Licht</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>Fokus</translation>
    </message>
    <message>
        <source>Automatic focus</source>
        <translation>Autofokus</translation>
    </message>
    <message>
        <source>Open a camera to set its picture.</source>
        <translation>Öffnen Sie eine Kamera, um ihr Bild einzustellen.</translation>
    </message>
    <message>
        <source>Reset picture</source>
        <translation>Bild zurücksetzen</translation>
    </message>
    <message>
        <source>This camera offers no picture controls.</source>
        <translation>Diese Kamera bietet keine Bildeinstellungen.</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <source>Manual Mode</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>Auto Mode</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Shutter Priority Mode</source>
        <translation>Zeitvorwahl</translation>
    </message>
    <message>
        <source>Aperture Priority Mode</source>
        <translation>Blendenvorwahl</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
</context>
<context>
    <name>PictureSettings</name>
    <message>
        <source>%1 can only be read; the camera sets it itself.</source>
        <translation>%1 kann nur gelesen werden; die Kamera stellt den Wert selbst ein.</translation>
    </message>
    <message>
        <source>%1 takes one of %2; %3 is not one of them.</source>
        <translation>%1 nimmt einen der Werte %2; %3 gehört nicht dazu.</translation>
    </message>
    <message>
        <source>%1 must be between %2 and %3; %4 is outside that range.</source>
        <translation>%1 muss zwischen %2 und %3 liegen; %4 liegt außerhalb.</translation>
    </message>
    <message>
        <source>%1 moves in steps of %2 from %3; %4 is between two steps.</source>
        <translation>%1 ändert sich in Schritten von %2 ab %3; %4 liegt zwischen zwei Schritten.</translation>
    </message>
    <message>
        <source>%1 is set by the camera while %2 is on; set %2 to %3 first.</source>
        <translation>%1 wird von der Kamera eingestellt, solange %2 an ist; setzen Sie zuerst %2 auf %3.</translation>
    </message>
    <message>
        <source>%1 is inactive now; the camera takes no value for it.</source>
        <translation>%1 ist gerade inaktiv; die Kamera nimmt keinen Wert dafür an.</translation>
    </message>
    <message>
        <source>No camera is open.</source>
        <translation>Keine Kamera ist geöffnet.</translation>
    </message>
    <message>
        <source>The camera offers no picture control named %1.</source>
        <translation>Die Kamera bietet keine Bildeinstellung namens %1.</translation>
    </message>
    <message>
        <source>The camera did not answer the read of %1 (%2).</source>
        <translation>Die Kamera hat das Lesen von %1 nicht beantwortet (%2).</translation>
    </message>
    <message>
        <source>The camera refused %1 = %2 (%3).</source>
        <translation>Die Kamera hat %1 = %2 abgelehnt (%3).</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>50Hz</source>
        <translation>50 Hz</translation>
    </message>
    <message>
        <source>60Hz</source>
        <translation>60 Hz</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Smooth</source>
        <translation>Fließend</translation>
    </message>
    <message>
        <source>Immediate</source>
        <translation>Sofort</translation>
    </message>
    <message>
        <source>Auto Framing</source>
        <translation>Auto-Framing</translation>
    </message>
    <message>
        <source>Presenter Tracking</source>
        <translation>Sprecherfokus</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>Langsam</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>Schnell</translation>
    </message>
</context>
<context>
    <name>UpgradeThread</name>
    <message>
        <source>Failed to find camera device.</source>
        <translation>Die Kamera wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>sending the updater program</source>
        <translation>Aktualisierungsprogramm wird gesendet</translation>
    </message>
    <message>
        <source>sending the boot loader</source>
        <translation>Bootloader wird gesendet</translation>
    </message>
    <message>
        <source>No camera device detected.</source>
        <translation>Keine Kamera erkannt.</translation>
    </message>
    <message>
        <source>switching the camera to its updater</source>
        <translation>Kamera wechselt in den Aktualisierungsmodus</translation>
    </message>
    <message>
        <source>waiting for the camera&apos;s updater disk</source>
        <translation>Warten auf das Aktualisierungslaufwerk der Kamera</translation>
    </message>
    <message>
        <source>running the upgrade script</source>
        <translation>Aktualisierungsskript wird ausgeführt</translation>
    </message>
    <message>
        <source>waiting for the camera to come back</source>
        <translation>Warten, bis die Kamera wieder verfügbar ist</translation>
    </message>
    <message>
        <source>Upgrade done.</source>
        <translation>Aktualisierung abgeschlossen.</translation>
    </message>
    <message>
        <source>Upgrade failed.</source>
        <translation>Aktualisierung fehlgeschlagen.</translation>
    </message>
</context>
</TS>
