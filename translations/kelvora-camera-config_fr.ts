<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AccessNotice</name>
    <message>
        <source>This user may not open the camera</source>
        <extracomment>Heading of the notice shown when the camera is plugged in but this user has no permission to open it.</extracomment>
        <translation>Cet utilisateur n’a pas le droit d’ouvrir la caméra</translation>
    </message>
    <message>
        <source>The camera is on the USB bus, but this user may not open its HID interfaces. On Linux a udev rule (%1) gives them to the person logged in at this computer; logins from elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program&apos;s package does), or copy it from the source&apos;s packaging/linux folder to %2. Then run these commands and plug the camera in again. The last command says exactly what is missing.</source>
        <extracomment>%1 is the udev rule&apos;s file name, %2 the folder for local rules (/etc/udev/rules.d). &quot;udev&quot; is the Linux device manager; keep the names as they are. The commands follow below the text.</extracomment>
        <translation>La caméra est branchée sur le bus USB, mais cet utilisateur n’a pas le droit d’ouvrir ses interfaces HID. Sous Linux, une règle udev (%1) les donne à la personne connectée sur cet ordinateur ; les connexions venues d’ailleurs (SSH, bureau à distance) n’en reçoivent rien. Installez la règle (le paquet du programme le fait) ou copiez-la du dossier packaging/linux des sources vers %2. Lancez ensuite ces commandes et rebranchez la caméra. La dernière commande indique précisément ce qui manque.</translation>
    </message>
    <message>
        <source>Commands to run</source>
        <extracomment>Accessible name of the box that holds the commands to copy.</extracomment>
        <translation>Commandes à lancer</translation>
    </message>
    <message>
        <source>Copy Commands</source>
        <extracomment>Button: copies the commands of the notice to the clipboard.</extracomment>
        <translation>Copier les commandes</translation>
    </message>
    <message>
        <source>Copies the commands to the clipboard.</source>
        <translation>Copie les commandes dans le presse-papiers.</translation>
    </message>
    <message>
        <source>Close</source>
        <extracomment>Button: closes the notice (it comes back when the camera is plugged in again).</extracomment>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Closes this notice.</source>
        <translation>Ferme cet avis.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvora Camera 2 Config (v1.0.7)</source>
        <extracomment>The window title: the product name, then the program version.</extracomment>
        <translation>Configuration Kelvora Camera 2 (v1.0.7)</translation>
    </message>
    <message>
        <source>Device: Unknown</source>
        <translation>Appareil&#xa0;: inconnu</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Button: looks for the camera at once (verb).</extracomment>
        <translation>Actualiser</translation>
    </message>
    <message>
        <source>Status: Disconnected</source>
        <translation>État&#xa0;: déconnecté</translation>
    </message>
    <message>
        <source>MODE:</source>
        <extracomment>Label of the camera&apos;s framing mode (way of working, not a menu) until the camera has reported it.</extracomment>
        <translation>MODE&#xa0;:</translation>
    </message>
    <message>
        <source>FullScreen</source>
        <extracomment>Framing mode: the camera shows its whole field of view.</extracomment>
        <translation>Plein écran</translation>
    </message>
    <message>
        <source>AutoFraming</source>
        <extracomment>Framing mode: the camera zooms to fit the people in the room.</extracomment>
        <translation>Cadrage automatique</translation>
    </message>
    <message>
        <source>VoiceTracking</source>
        <extracomment>Framing mode: the camera follows whoever is speaking.</extracomment>
        <translation>Suivi de la voix</translation>
    </message>
    <message>
        <source>SmartGallery(1080P only)</source>
        <extracomment>Framing mode: each person in a tile of their own; works only at 1080p resolution.</extracomment>
        <translation>Galerie intelligente (1080p uniquement)</translation>
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
        <translation>CHEMIN DU FICHIER&#xa0;:</translation>
    </message>
    <message>
        <source>Select</source>
        <extracomment>Button: opens a dialog to choose the firmware image file (verb).</extracomment>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>VERSION:  </source>
        <extracomment>Label of the camera&apos;s firmware version; the two trailing spaces keep it apart from the field.</extracomment>
        <translation>VERSION&#xa0;:  </translation>
    </message>
    <message>
        <source>GetVersion</source>
        <extracomment>Button: asks the camera for its firmware version.</extracomment>
        <translation>Lire la version</translation>
    </message>
    <message>
        <source>EnterUPD</source>
        <extracomment>Button: sends the camera into its firmware upgrade mode (UPD).</extracomment>
        <translation>Passer en mode mise à jour</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <extracomment>Label of the upgrade progress bar before an upgrade: the image is sent (downloaded) to the device.</extracomment>
        <translation>TRANSFERT</translation>
    </message>
    <message>
        <source>Start</source>
        <extracomment>Button: starts sending the chosen firmware image to the device (verb).</extracomment>
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>More Setting</source>
        <extracomment>Button: asks for the access code, then shows or hides the extra settings.</extracomment>
        <translation>Plus de réglages</translation>
    </message>
    <message>
        <source>Upgrade Mode</source>
        <extracomment>Button: shows or hides the firmware upgrade controls.</extracomment>
        <translation>Mode mise à jour</translation>
    </message>
    <message>
        <source>Apply</source>
        <extracomment>Button: sends the selected framing mode to the camera (verb).</extracomment>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>EXIT</source>
        <extracomment>Button: closes the program.</extracomment>
        <translation>QUITTER</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>inconnu</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <extracomment>The camera&apos;s framing mode, as it last confirmed it (Mode as in way of working, not a menu). %1 is the mode&apos;s name, the same as on its button.</extracomment>
        <translation>Mode&#xa0;: %1</translation>
    </message>
    <message>
        <source>Mode: UPD</source>
        <extracomment>The camera is in its firmware upgrade mode (UPD, the upgrade device).</extracomment>
        <translation>Mode&#xa0;: mise à jour</translation>
    </message>
    <message>
        <source>Configuration Failed</source>
        <translation>Échec de la configuration</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>Appareil hors ligne</translation>
    </message>
    <message>
        <source>Configuration Applied</source>
        <translation>Configuration appliquée</translation>
    </message>
    <message>
        <source>The new settings have been set successfully.</source>
        <translation>Les nouveaux réglages ont bien été appliqués.</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <extracomment>The first status line. %1 is the name the camera gives itself, or AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware upgrade mode) until it has said; those two stay as they are.</extracomment>
        <translation>Appareil&#xa0;: %1</translation>
    </message>
    <message>
        <source>Password</source>
        <extracomment>Title of the box that asks for the access code to the extra settings.</extracomment>
        <translation>Mot de passe</translation>
    </message>
    <message>
        <source>Input passwords:</source>
        <extracomment>The prompt of that box; the code is four digits.</extracomment>
        <translation>Saisissez le mot de passe&#xa0;:</translation>
    </message>
    <message>
        <source>Device: Not Found</source>
        <translation>Appareil&#xa0;: introuvable</translation>
    </message>
    <message>
        <source>Status: Connected</source>
        <translation>État&#xa0;: connecté</translation>
    </message>
    <message>
        <source>HID Error</source>
        <translation>Erreur HID</translation>
    </message>
    <message>
        <source>Unable to open HID device.</source>
        <translation>Impossible d’ouvrir le périphérique HID.</translation>
    </message>
    <message>
        <source>Selected framing mode. Apply sends it to the camera.</source>
        <translation>Mode de cadrage choisi. «&#xa0;Appliquer&#xa0;» l’envoie à la caméra.</translation>
    </message>
    <message>
        <source>Framing mode, not selected.</source>
        <translation>Mode de cadrage, non choisi.</translation>
    </message>
    <message>
        <source>Firmware image file</source>
        <translation>Fichier du micrologiciel</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>Version du micrologiciel</translation>
    </message>
    <message>
        <source>The firmware version the camera reports.</source>
        <translation>La version du micrologiciel indiquée par la caméra.</translation>
    </message>
    <message>
        <source>The share of the firmware image sent to the device, then the device&apos;s own progress in installing it.</source>
        <translation>La part du micrologiciel transférée à l’appareil, puis l’avancement de son installation par l’appareil.</translation>
    </message>
    <message>
        <source>Microphone %1 level</source>
        <extracomment>The level meter of one of the camera&apos;s eight microphones; %1 is its number.</extracomment>
        <translation>Niveau du microphone %1</translation>
    </message>
    <message>
        <source>Reference %1 level</source>
        <extracomment>The level meter of one of the two reference channels; %1 is its number.</extracomment>
        <translation>Niveau de la référence %1</translation>
    </message>
    <message>
        <source>Sound direction %1</source>
        <extracomment>A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.</extracomment>
        <translation>Direction du son %1</translation>
    </message>
    <message>
        <source>Looks for the camera now.</source>
        <translation>Recherche la caméra maintenant.</translation>
    </message>
    <message>
        <source>Switches the camera&apos;s low-pass filter.</source>
        <translation>Active ou désactive le filtre passe-bas de la caméra.</translation>
    </message>
    <message>
        <source>Reference channel. This button has no effect.</source>
        <translation>Canal de référence. Ce bouton est sans effet.</translation>
    </message>
    <message>
        <source>Asks the camera for its firmware version.</source>
        <translation>Demande à la caméra la version de son micrologiciel.</translation>
    </message>
    <message>
        <source>Chooses the firmware image, a .bin file.</source>
        <translation>Choisit le fichier du micrologiciel, un fichier .bin.</translation>
    </message>
    <message>
        <source>Sends the camera into its firmware upgrade mode.</source>
        <translation>Fait passer la caméra dans son mode de mise à jour du micrologiciel.</translation>
    </message>
    <message>
        <source>Uploads the chosen firmware image to the device in upgrade mode.</source>
        <translation>Transfère le micrologiciel choisi vers l’appareil en mode mise à jour.</translation>
    </message>
    <message>
        <source>Asks for the access code, then shows or hides the extra settings.</source>
        <translation>Demande le code d’accès, puis affiche ou masque les réglages supplémentaires.</translation>
    </message>
    <message>
        <source>Shows or hides the firmware upgrade controls.</source>
        <translation>Affiche ou masque les commandes de mise à jour du micrologiciel.</translation>
    </message>
    <message>
        <source>Sends the selected framing mode to the camera.</source>
        <translation>Envoie le mode de cadrage choisi à la caméra.</translation>
    </message>
    <message>
        <source>Closes the program.</source>
        <translation>Ferme le programme.</translation>
    </message>
    <message>
        <source>Invalid File</source>
        <translation>Fichier non valide</translation>
    </message>
    <message>
        <source>Please select a .bin file.</source>
        <translation>Veuillez choisir un fichier .bin.</translation>
    </message>
    <message>
        <source>upd info</source>
        <extracomment>Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.</extracomment>
        <translation>Mise à jour</translation>
    </message>
    <message>
        <source>UPD Not Connect, Pls Enter UPD First!</source>
        <translation>Aucun appareil en mode mise à jour. Passez d’abord en mode mise à jour&#xa0;!</translation>
    </message>
    <message>
        <source>No File</source>
        <translation>Aucun fichier</translation>
    </message>
    <message>
        <source>No update file selected.</source>
        <translation>Aucun fichier de mise à jour choisi.</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>Fichier introuvable</translation>
    </message>
    <message>
        <source>Selected file does not exist.</source>
        <translation>Le fichier choisi n’existe pas.</translation>
    </message>
    <message>
        <source>Selected file is not a .bin file.</source>
        <translation>Le fichier choisi n’est pas un fichier .bin.</translation>
    </message>
    <message>
        <source>Selected file is empty.</source>
        <translation>Le fichier choisi est vide.</translation>
    </message>
    <message>
        <source>Selected file is too large.</source>
        <translation>Le fichier choisi est trop volumineux.</translation>
    </message>
    <message>
        <source>Read Error</source>
        <translation>Erreur de lecture</translation>
    </message>
    <message>
        <source>Cannot open selected file.</source>
        <translation>Impossible d’ouvrir le fichier choisi.</translation>
    </message>
    <message>
        <source>Selected file appears invalid (all-zero header).</source>
        <translation>Le fichier choisi semble non valide (en-tête entièrement à zéro).</translation>
    </message>
    <message>
        <source>UPD device not connect</source>
        <translation>Appareil en mode mise à jour non connecté</translation>
    </message>
    <message>
        <source>Cannot open selected file for upload.</source>
        <translation>Impossible d’ouvrir le fichier choisi pour le transfert.</translation>
    </message>
    <message>
        <source>选择文件</source>
        <extracomment>Title of the file dialog for choosing the firmware image (&quot;Choose a file&quot;).</extracomment>
        <translation>Choisir un fichier</translation>
    </message>
    <message>
        <source>Binary Files (*.bin);</source>
        <extracomment>The file dialog&apos;s filter. Keep &quot;(*.bin)&quot; and the closing semicolon as they are.</extracomment>
        <translation>Fichiers binaires (*.bin);</translation>
    </message>
    <message>
        <source>Upd info</source>
        <translation>Mise à jour</translation>
    </message>
    <message>
        <source>Upgrade start failed.</source>
        <translation>Le démarrage de la mise à jour a échoué.</translation>
    </message>
    <message>
        <source>DOWNLOAD:</source>
        <extracomment>Names the progress bar while the firmware image is sent to the device.</extracomment>
        <translation>TRANSFERT&#xa0;:</translation>
    </message>
    <message>
        <source>Upgrade start timeout. Abort.</source>
        <translation>L’appareil n’a pas confirmé à temps le démarrage de la mise à jour. Abandon.</translation>
    </message>
    <message>
        <source>Write error during upload. Abort.</source>
        <translation>Erreur d’écriture pendant le transfert. Abandon.</translation>
    </message>
    <message>
        <source>The firmware image could not be read, so the upload was stopped and the device has only part of it. Check the file and start the upgrade again.</source>
        <translation>Le fichier du micrologiciel n’a pas pu être lu&#xa0;: le transfert a été arrêté et l’appareil n’en a reçu qu’une partie. Vérifiez le fichier et relancez la mise à jour.</translation>
    </message>
    <message>
        <source>The device did not accept the uploaded image (error code %1). Start the upgrade again.</source>
        <translation>L’appareil n’a pas accepté le micrologiciel transféré (code d’erreur %1). Relancez la mise à jour.</translation>
    </message>
    <message>
        <source>UPGRADE:</source>
        <extracomment>Names the progress bar while the device installs the new firmware.</extracomment>
        <translation>MISE À JOUR&#xa0;:</translation>
    </message>
    <message>
        <source>Upgrade completed ,Device will reboot now!</source>
        <translation>Mise à jour terminée, l’appareil va redémarrer&#xa0;!</translation>
    </message>
    <message>
        <source>The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.</source>
        <translation>L’appareil s’est déconnecté avant la fin de la mise à jour. S’il revient en mode mise à jour, relancez la mise à jour.</translation>
    </message>
    <message>
        <source>Kelvora Camera 2 Config</source>
        <extracomment>The program&apos;s name, as the desktop shows it when asking the user to wait before sleep or shutdown.</extracomment>
        <translation>Configuration Kelvora Camera 2</translation>
    </message>
    <message>
        <source>Updating the camera&apos;s firmware; an interruption could leave the camera unusable</source>
        <extracomment>Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.</extracomment>
        <translation>Mise à jour du micrologiciel de la caméra&#xa0;; une interruption pourrait rendre la caméra inutilisable</translation>
    </message>
    <message>
        <source>The device has stopped reporting its progress. Wait for it to restart; if it comes back in upgrade mode, start the upgrade again.</source>
        <translation>L’appareil ne signale plus sa progression. Attendez qu’il redémarre&#xa0;; s’il revient en mode mise à jour, relancez la mise à jour.</translation>
    </message>
    <message>
        <source>Status: In use by %1 (pid %2)</source>
        <extracomment>The second status line while another program (the command-line tool, or this program started a second time) works on the camera and this window keeps off it. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>État&#xa0;: utilisée par %1 (PID %2)</translation>
    </message>
    <message>
        <source>Status: In use by another program</source>
        <extracomment>As &quot;Status: In use by %1 (pid %2)&quot;, when the other program cannot be named.</extracomment>
        <translation>État&#xa0;: utilisée par un autre programme</translation>
    </message>
    <message>
        <source>The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>The box shown when EnterUPD or Start finds another program working on the camera. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>La caméra est utilisée par %1 (PID %2). Rien ne lui a été envoyé. Réessayez lorsque ce programme aura terminé.</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>As above, when the other program cannot be named.</extracomment>
        <translation>La caméra est utilisée par un autre programme. Rien ne lui a été envoyé. Réessayez lorsque ce programme aura terminé.</translation>
    </message>
    <message>
        <source>Camera in use</source>
        <extracomment>Title of the box shown when EnterUPD or Start finds another program working on the camera.</extracomment>
        <translation>Caméra occupée</translation>
    </message>
</context>
</TS>
