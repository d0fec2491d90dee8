<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AccessNotice</name>
    <message>
        <source>This user may not open the camera</source>
        <extracomment>Heading of the notice shown when the camera is plugged in but this user has no permission to open it.</extracomment>
        <translation>Dieser Benutzer darf die Kamera nicht öffnen</translation>
    </message>
    <message>
        <source>The camera is on the USB bus, but this user may not open its HID interfaces. On Linux a udev rule (%1) gives them to the person logged in at this computer; logins from elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program&apos;s package does), or copy it from the source&apos;s packaging/linux folder to %2. Then run these commands and plug the camera in again. The last command says exactly what is missing.</source>
        <extracomment>%1 is the udev rule&apos;s file name, %2 the folder for local rules (/etc/udev/rules.d). &quot;udev&quot; is the Linux device manager; keep the names as they are. The commands follow below the text.</extracomment>
        <translation>Die Kamera ist am USB-Bus angeschlossen, aber dieser Benutzer darf ihre HID-Schnittstellen nicht öffnen. Unter Linux gibt eine udev-Regel (%1) sie der Person, die an diesem Computer angemeldet ist; Anmeldungen von anderswo (SSH, Remote-Desktop) erhalten dadurch nichts. Installieren Sie die Regel (das Paket des Programms tut das) oder kopieren Sie sie aus dem Ordner packaging/linux der Quellen nach %2. Führen Sie dann diese Befehle aus und stecken Sie die Kamera neu ein. Der letzte Befehl sagt genau, was fehlt.</translation>
    </message>
    <message>
        <source>Commands to run</source>
        <extracomment>Accessible name of the box that holds the commands to copy.</extracomment>
        <translation>Auszuführende Befehle</translation>
    </message>
    <message>
        <source>Copy Commands</source>
        <extracomment>Button: copies the commands of the notice to the clipboard.</extracomment>
        <translation>Befehle kopieren</translation>
    </message>
    <message>
        <source>Copies the commands to the clipboard.</source>
        <translation>Kopiert die Befehle in die Zwischenablage.</translation>
    </message>
    <message>
        <source>Close</source>
        <extracomment>Button: closes the notice (it comes back when the camera is plugged in again).</extracomment>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Closes this notice.</source>
        <translation>Schließt diesen Hinweis.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvora Camera 2 Config (v1.0.7)</source>
        <extracomment>The window title: the product name, then the program version.</extracomment>
        <translation>Kelvora Camera 2 Konfiguration (v1.0.7)</translation>
    </message>
    <message>
        <source>Device: Unknown</source>
        <translation>Gerät: Unbekannt</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Button: looks for the camera at once (verb).</extracomment>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Status: Disconnected</source>
        <translation>Status: Nicht verbunden</translation>
    </message>
    <message>
        <source>MODE:</source>
        <extracomment>Label of the camera&apos;s framing mode (way of working, not a menu) until the camera has reported it.</extracomment>
        <translation>MODUS:</translation>
    </message>
    <message>
        <source>FullScreen</source>
        <extracomment>Framing mode: the camera shows its whole field of view.</extracomment>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>AutoFraming</source>
        <extracomment>Framing mode: the camera zooms to fit the people in the room.</extracomment>
        <translation>Automatischer Bildausschnitt</translation>
    </message>
    <message>
        <source>VoiceTracking</source>
        <extracomment>Framing mode: the camera follows whoever is speaking.</extracomment>
        <translation>Sprecherverfolgung</translation>
    </message>
    <message>
        <source>SmartGallery(1080P only)</source>
        <extracomment>Framing mode: each person in a tile of their own; works only at 1080p resolution.</extracomment>
        <translation>Smart-Galerie (nur 1080p)</translation>
    </message>
    <message>
        <source>REF</source>
        <extracomment>Button of the reference audio channel; an abbreviation, usually kept.</extracomment>
        <translation>REF</translation>
    </message>
    <message>
        <source>LPF</source>
        <extracomment>Button: switches the low-pass filter; an abbreviation, usually kept.</extracomment>
        <translation>LPF</translation>
    </message>
    <message>
        <source>FILE PATH:</source>
        <extracomment>Label of the field showing the chosen firmware image.</extracomment>
        <translation>DATEIPFAD:</translation>
    </message>
    <message>
        <source>Select</source>
        <extracomment>Button: opens a dialog to choose the firmware image file (verb).</extracomment>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>VERSION:  </source>
        <extracomment>Label of the camera&apos;s firmware version; the two trailing spaces keep it apart from the field.</extracomment>
        <translation>VERSION:  </translation>
    </message>
    <message>
        <source>GetVersion</source>
        <extracomment>Button: asks the camera for its firmware version.</extracomment>
        <translation>Version abfragen</translation>
    </message>
    <message>
        <source>EnterUPD</source>
        <extracomment>Button: sends the camera into its firmware upgrade mode (UPD).</extracomment>
        <translation>Update-Modus starten</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <extracomment>Label of the upgrade progress bar before an upgrade: the image is sent (downloaded) to the device.</extracomment>
        <translation>ÜBERTRAGUNG</translation>
    </message>
    <message>
        <source>Start</source>
        <extracomment>Button: starts sending the chosen firmware image to the device (verb).</extracomment>
        <translation>Starten</translation>
    </message>
    <message>
        <source>More Setting</source>
        <extracomment>Button: asks for the access code, then shows or hides the extra settings.</extracomment>
        <translation>Weitere Einstellungen</translation>
    </message>
    <message>
        <source>Upgrade Mode</source>
        <extracomment>Button: shows or hides the firmware upgrade controls.</extracomment>
        <translation>Update-Modus</translation>
    </message>
    <message>
        <source>Apply</source>
        <extracomment>Button: sends the selected framing mode to the camera (verb).</extracomment>
        <translation>Übernehmen</translation>
    </message>
    <message>
        <source>EXIT</source>
        <extracomment>Button: closes the program.</extracomment>
        <translation>BEENDEN</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <extracomment>The camera&apos;s framing mode, as it last confirmed it (Mode as in way of working, not a menu). %1 is the mode&apos;s name, the same as on its button.</extracomment>
        <translation>Modus: %1</translation>
    </message>
    <message>
        <source>Mode: UPD</source>
        <extracomment>The camera is in its firmware upgrade mode (UPD, the upgrade device).</extracomment>
        <translation>Modus: Update</translation>
    </message>
    <message>
        <source>Configuration Failed</source>
        <translation>Konfiguration fehlgeschlagen</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>Gerät nicht verbunden</translation>
    </message>
    <message>
        <source>Configuration Applied</source>
        <translation>Konfiguration übernommen</translation>
    </message>
    <message>
        <source>The new settings have been set successfully.</source>
        <translation>Die neuen Einstellungen wurden übernommen.</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <extracomment>The first status line. %1 is the name the camera gives itself, or AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware upgrade mode) until it has said; those two stay as they are.</extracomment>
        <translation>Gerät: %1</translation>
    </message>
    <message>
        <source>Password</source>
        <extracomment>Title of the box that asks for the access code to the extra settings.</extracomment>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Input passwords:</source>
        <extracomment>The prompt of that box; the code is four digits.</extracomment>
        <translation>Passwort eingeben:</translation>
    </message>
    <message>
        <source>Device: Not Found</source>
        <translation>Gerät: Nicht gefunden</translation>
    </message>
    <message>
        <source>Status: Connected</source>
        <translation>Status: Verbunden</translation>
    </message>
    <message>
        <source>HID Error</source>
        <translation>HID-Fehler</translation>
    </message>
    <message>
        <source>Unable to open HID device.</source>
        <translation>Das HID-Gerät kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Selected framing mode. Apply sends it to the camera.</source>
        <translation>Ausgewählter Modus. „Übernehmen“ sendet ihn an die Kamera.</translation>
    </message>
    <message>
        <source>Framing mode, not selected.</source>
        <translation>Modus, nicht ausgewählt.</translation>
    </message>
    <message>
        <source>Firmware image file</source>
        <translation>Firmware-Datei</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>Firmware-Version</translation>
    </message>
    <message>
        <source>The firmware version the camera reports.</source>
        <translation>Die Firmware-Version, die die Kamera meldet.</translation>
    </message>
    <message>
        <source>The share of the firmware image sent to the device, then the device&apos;s own progress in installing it.</source>
        <translation>Der Anteil der Firmware-Datei, der an das Gerät übertragen wurde, danach der Fortschritt des Geräts beim Installieren.</translation>
    </message>
    <message>
        <source>Microphone %1 level</source>
        <extracomment>The level meter of one of the camera&apos;s eight microphones; %1 is its number.</extracomment>
        <translation>Pegel Mikrofon %1</translation>
    </message>
    <message>
        <source>Reference %1 level</source>
        <extracomment>The level meter of one of the two reference channels; %1 is its number.</extracomment>
        <translation>Pegel Referenzkanal %1</translation>
    </message>
    <message>
        <source>Sound direction %1</source>
        <extracomment>A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.</extracomment>
        <translation>Schallrichtung %1</translation>
    </message>
    <message>
        <source>Looks for the camera now.</source>
        <translation>Sucht jetzt nach der Kamera.</translation>
    </message>
    <message>
        <source>Switches the camera&apos;s low-pass filter.</source>
        <translation>Schaltet den Tiefpassfilter der Kamera um.</translation>
    </message>
    <message>
        <source>Reference channel. This button has no effect.</source>
        <translation>Referenzkanal. Diese Schaltfläche hat keine Wirkung.</translation>
    </message>
    <message>
        <source>Asks the camera for its firmware version.</source>
        <translation>Fragt die Firmware-Version der Kamera ab.</translation>
    </message>
    <message>
        <source>Chooses the firmware image, a .bin file.</source>
        <translation>Wählt die Firmware-Datei aus, eine .bin-Datei.</translation>
    </message>
    <message>
        <source>Sends the camera into its firmware upgrade mode.</source>
        <translation>Versetzt die Kamera in ihren Update-Modus.</translation>
    </message>
    <message>
        <source>Uploads the chosen firmware image to the device in upgrade mode.</source>
        <translation>Überträgt die ausgewählte Firmware-Datei an das Gerät im Update-Modus.</translation>
    </message>
    <message>
        <source>Asks for the access code, then shows or hides the extra settings.</source>
        <translation>Fragt nach dem Zugangscode und blendet dann die weiteren Einstellungen ein oder aus.</translation>
    </message>
    <message>
        <source>Shows or hides the firmware upgrade controls.</source>
        <translation>Blendet die Bedienelemente für das Firmware-Update ein oder aus.</translation>
    </message>
    <message>
        <source>Sends the selected framing mode to the camera.</source>
        <translation>Sendet den ausgewählten Modus an die Kamera.</translation>
    </message>
    <message>
        <source>Closes the program.</source>
        <translation>Beendet das Programm.</translation>
    </message>
    <message>
        <source>Invalid File</source>
        <translation>Ungültige Datei</translation>
    </message>
    <message>
        <source>Please select a .bin file.</source>
        <translation>Bitte wählen Sie eine .bin-Datei aus.</translation>
    </message>
    <message>
        <source>upd info</source>
        <extracomment>Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.</extracomment>
        <translation>Update-Info</translation>
    </message>
    <message>
        <source>UPD Not Connect, Pls Enter UPD First!</source>
        <translation>Kein Gerät im Update-Modus verbunden. Bitte zuerst den Update-Modus starten!</translation>
    </message>
    <message>
        <source>No File</source>
        <translation>Keine Datei</translation>
    </message>
    <message>
        <source>No update file selected.</source>
        <translation>Keine Update-Datei ausgewählt.</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>Datei nicht gefunden</translation>
    </message>
    <message>
        <source>Selected file does not exist.</source>
        <translation>Die ausgewählte Datei existiert nicht.</translation>
    </message>
    <message>
        <source>Selected file is not a .bin file.</source>
        <translation>Die ausgewählte Datei ist keine .bin-Datei.</translation>
    </message>
    <message>
        <source>Selected file is empty.</source>
        <translation>Die ausgewählte Datei ist leer.</translation>
    </message>
    <message>
        <source>Selected file is too large.</source>
        <translation>Die ausgewählte Datei ist zu groß.</translation>
    </message>
    <message>
        <source>Read Error</source>
        <translation>Lesefehler</translation>
    </message>
    <message>
        <source>Cannot open selected file.</source>
        <translation>Die ausgewählte Datei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Selected file appears invalid (all-zero header).</source>
        <translation>Die ausgewählte Datei scheint ungültig zu sein (der Dateikopf enthält nur Nullen).</translation>
    </message>
    <message>
        <source>UPD device not connect</source>
        <translation>Update-Gerät nicht verbunden</translation>
    </message>
    <message>
        <source>Cannot open selected file for upload.</source>
        <translation>Die ausgewählte Datei kann für die Übertragung nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>选择文件</source>
        <extracomment>Title of the file dialog for choosing the firmware image (&quot;Choose a file&quot;).</extracomment>
        <translation>Datei auswählen</translation>
    </message>
    <message>
        <source>Binary Files (*.bin);</source>
        <extracomment>The file dialog&apos;s filter. Keep &quot;(*.bin)&quot; and the closing semicolon as they are.</extracomment>
        <translation>Binärdateien (*.bin);</translation>
    </message>
    <message>
        <source>Upd info</source>
        <translation>Update-Info</translation>
    </message>
    <message>
        <source>Upgrade start failed.</source>
        <translation>Das Update konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>DOWNLOAD:</source>
        <extracomment>Names the progress bar while the firmware image is sent to the device.</extracomment>
        <translation>ÜBERTRAGUNG:</translation>
    </message>
    <message>
        <source>Upgrade start timeout. Abort.</source>
        <translation>Das Gerät hat den Start des Updates nicht rechtzeitig bestätigt. Abgebrochen.</translation>
    </message>
    <message>
        <source>Write error during upload. Abort.</source>
        <translation>Schreibfehler während der Übertragung. Abgebrochen.</translation>
    </message>
    <message>
        <source>The firmware image could not be read, so the upload was stopped and the device has only part of it. Check the file and start the upgrade again.</source>
        <translation>Die Firmware-Datei konnte nicht gelesen werden. Die Übertragung wurde deshalb abgebrochen, und das Gerät hat nur einen Teil davon erhalten. Prüfen Sie die Datei und starten Sie das Update erneut.</translation>
    </message>
    <message>
        <source>The device did not accept the uploaded image (error code %1). Start the upgrade again.</source>
        <translation>Das Gerät hat die übertragene Firmware nicht angenommen (Fehlercode %1). Starten Sie das Update erneut.</translation>
    </message>
    <message>
        <source>UPGRADE:</source>
        <extracomment>Names the progress bar while the device installs the new firmware.</extracomment>
        <translation>UPDATE:</translation>
    </message>
    <message>
        <source>Upgrade completed ,Device will reboot now!</source>
        <translation>Update abgeschlossen, das Gerät startet jetzt neu!</translation>
    </message>
    <message>
        <source>The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.</source>
        <translation>Das Gerät wurde vor dem Ende des Updates getrennt. Wenn es im Update-Modus zurückkommt, starten Sie das Update erneut.</translation>
    </message>
    <message>
        <source>Kelvora Camera 2 Config</source>
        <extracomment>The program&apos;s name, as the desktop shows it when asking the user to wait before sleep or shutdown.</extracomment>
        <translation>Kelvora Camera 2 Konfiguration</translation>
    </message>
    <message>
        <source>Updating the camera&apos;s firmware; an interruption could leave the camera unusable</source>
        <extracomment>Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.</extracomment>
        <translation>Die Firmware der Kamera wird aktualisiert; eine Unterbrechung könnte die Kamera unbrauchbar machen</translation>
    </message>
    <message>
        <source>The device has stopped reporting its progress. Wait for it to restart; if it comes back in upgrade mode, start the upgrade again.</source>
        <translation>Das Gerät meldet keinen Fortschritt mehr. Warten Sie, bis es neu startet; wenn es im Update-Modus zurückkommt, starten Sie das Update erneut.</translation>
    </message>
    <message>
        <source>Status: In use by %1 (pid %2)</source>
        <extracomment>The second status line while another program (the command-line tool, or this program started a second time) works on the camera and this window keeps off it. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>Status: Belegt von %1 (PID %2)</translation>
    </message>
    <message>
        <source>Status: In use by another program</source>
        <extracomment>As &quot;Status: In use by %1 (pid %2)&quot;, when the other program cannot be named.</extracomment>
        <translation>Status: Von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>The box shown when EnterUPD or Start finds another program working on the camera. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>Die Kamera wird von %1 (PID %2) verwendet. Es wurde nichts an sie gesendet. Versuchen Sie es erneut, sobald dieses Programm fertig ist.</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>As above, when the other program cannot be named.</extracomment>
        <translation>Die Kamera wird von einem anderen Programm verwendet. Es wurde nichts an sie gesendet. Versuchen Sie es erneut, sobald dieses Programm fertig ist.</translation>
    </message>
    <message>
        <source>Camera in use</source>
        <extracomment>Title of the box shown when EnterUPD or Start finds another program working on the camera.</extracomment>
        <translation>Kamera belegt</translation>
    </message>
</context>
</TS>
