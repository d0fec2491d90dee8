<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AccessNotice</name>
    <message>
        <source>This user may not open the camera</source>
        <extracomment>Heading of the notice shown when the camera is plugged in but this user has no permission to open it.</extracomment>
        <translation>Este usuario no tiene permiso para abrir la cámara</translation>
    </message>
    <message>
        <source>The camera is on the USB bus, but this user may not open its HID interfaces. On Linux a udev rule (%1) gives them to the person logged in at this computer; logins from elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program&apos;s package does), or copy it from the source&apos;s packaging/linux folder to %2. Then run these commands and plug the camera in again. The last command says exactly what is missing.</source>
        <extracomment>%1 is the udev rule&apos;s file name, %2 the folder for local rules (/etc/udev/rules.d). &quot;udev&quot; is the Linux device manager; keep the names as they are. The commands follow below the text.</extracomment>
        <translation>La cámara está en el bus USB, pero este usuario no tiene permiso para abrir sus interfaces HID. En Linux, una regla de udev (%1) se las da a la persona que ha iniciado sesión en este equipo; los inicios de sesión desde otro lugar (SSH, escritorio remoto) no reciben nada de ella. Instale la regla (el paquete del programa lo hace) o cópiela de la carpeta packaging/linux del código fuente a %2. Después ejecute estos comandos y vuelva a conectar la cámara. El último comando dice exactamente qué falta.</translation>
    </message>
    <message>
        <source>Commands to run</source>
        <extracomment>Accessible name of the box that holds the commands to copy.</extracomment>
        <translation>Comandos que ejecutar</translation>
    </message>
    <message>
        <source>Copy Commands</source>
        <extracomment>Button: copies the commands of the notice to the clipboard.</extracomment>
        <translation>Copiar comandos</translation>
    </message>
    <message>
        <source>Copies the commands to the clipboard.</source>
        <translation>Copia los comandos al portapapeles.</translation>
    </message>
    <message>
        <source>Close</source>
        <extracomment>Button: closes the notice (it comes back when the camera is plugged in again).</extracomment>
        <translation>Cerrar</translation>
    </message>
    <message>
        <source>Closes this notice.</source>
        <translation>Cierra este aviso.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvora Camera 2 Config (v1.0.7)</source>
        <extracomment>The window title: the product name, then the program version.</extracomment>
        <translation>Configuración de Kelvora Camera 2 (v1.0.7)</translation>
    </message>
    <message>
        <source>Device: Unknown</source>
        <translation>Dispositivo: desconocido</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Button: looks for the camera at once (verb).</extracomment>
        <translation>Actualizar</translation>
    </message>
    <message>
        <source>Status: Disconnected</source>
        <translation>Estado: desconectado</translation>
    </message>
    <message>
        <source>MODE:</source>
        <extracomment>Label of the camera&apos;s framing mode (way of working, not a menu) until the camera has reported it.</extracomment>
        <translation>MODO:</translation>
    </message>
    <message>
        <source>FullScreen</source>
        <extracomment>Framing mode: the camera shows its whole field of view.</extracomment>
        <translation>Pantalla completa</translation>
    </message>
    <message>
        <source>AutoFraming</source>
        <extracomment>Framing mode: the camera zooms to fit the people in the room.</extracomment>
        <translation>Encuadre automático</translation>
    </message>
    <message>
        <source>VoiceTracking</source>
        <extracomment>Framing mode: the camera follows whoever is speaking.</extracomment>
        <translation>Seguimiento de voz</translation>
    </message>
    <message>
        <source>SmartGallery(1080P only)</source>
        <extracomment>Framing mode: each person in a tile of their own; works only at 1080p resolution.</extracomment>
        <translation>Galería inteligente (solo 1080p)</translation>
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
        <translation>RUTA DEL ARCHIVO:</translation>
    </message>
    <message>
        <source>Select</source>
        <extracomment>Button: opens a dialog to choose the firmware image file (verb).</extracomment>
        <translation>Seleccionar</translation>
    </message>
    <message>
        <source>VERSION:  </source>
        <extracomment>Label of the camera&apos;s firmware version; the two trailing spaces keep it apart from the field.</extracomment>
        <translation>VERSIÓN:  </translation>
    </message>
    <message>
        <source>GetVersion</source>
        <extracomment>Button: asks the camera for its firmware version.</extracomment>
        <translation>Consultar versión</translation>
    </message>
    <message>
        <source>EnterUPD</source>
        <extracomment>Button: sends the camera into its firmware upgrade mode (UPD).</extracomment>
        <translation>Entrar en modo actualización</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <extracomment>Label of the upgrade progress bar before an upgrade: the image is sent (downloaded) to the device.</extracomment>
        <translation>TRANSFERENCIA</translation>
    </message>
    <message>
        <source>Start</source>
        <extracomment>Button: starts sending the chosen firmware image to the device (verb).</extracomment>
        <translation>Iniciar</translation>
    </message>
    <message>
        <source>More Setting</source>
        <extracomment>Button: asks for the access code, then shows or hides the extra settings.</extracomment>
        <translation>Más ajustes</translation>
    </message>
    <message>
        <source>Upgrade Mode</source>
        <extracomment>Button: shows or hides the firmware upgrade controls.</extracomment>
        <translation>Modo actualización</translation>
    </message>
    <message>
        <source>Apply</source>
        <extracomment>Button: sends the selected framing mode to the camera (verb).</extracomment>
        <translation>Aplicar</translation>
    </message>
    <message>
        <source>EXIT</source>
        <extracomment>Button: closes the program.</extracomment>
        <translation>SALIR</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>desconocido</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <extracomment>The camera&apos;s framing mode, as it last confirmed it (Mode as in way of working, not a menu). %1 is the mode&apos;s name, the same as on its button.</extracomment>
        <translation>Modo: %1</translation>
    </message>
    <message>
        <source>Mode: UPD</source>
        <extracomment>The camera is in its firmware upgrade mode (UPD, the upgrade device).</extracomment>
        <translation>Modo: actualización</translation>
    </message>
    <message>
        <source>Configuration Failed</source>
        <translation>Error de configuración</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>Dispositivo desconectado</translation>
    </message>
    <message>
        <source>Configuration Applied</source>
        <translation>Configuración aplicada</translation>
    </message>
    <message>
        <source>The new settings have been set successfully.</source>
        <translation>La nueva configuración se ha aplicado correctamente.</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <extracomment>The first status line. %1 is the name the camera gives itself, or AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware upgrade mode) until it has said; those two stay as they are.</extracomment>
        <translation>Dispositivo: %1</translation>
    </message>
    <message>
        <source>Password</source>
        <extracomment>Title of the box that asks for the access code to the extra settings.</extracomment>
        <translation>Contraseña</translation>
    </message>
    <message>
        <source>Input passwords:</source>
        <extracomment>The prompt of that box; the code is four digits.</extracomment>
        <translation>Introduzca la contraseña:</translation>
    </message>
    <message>
        <source>Device: Not Found</source>
        <translation>Dispositivo: no encontrado</translation>
    </message>
    <message>
        <source>Status: Connected</source>
        <translation>Estado: conectado</translation>
    </message>
    <message>
        <source>HID Error</source>
        <translation>Error de HID</translation>
    </message>
    <message>
        <source>Unable to open HID device.</source>
        <translation>No se puede abrir el dispositivo HID.</translation>
    </message>
    <message>
        <source>Selected framing mode. Apply sends it to the camera.</source>
        <translation>Modo de encuadre seleccionado. «Aplicar» lo envía a la cámara.</translation>
    </message>
    <message>
        <source>Framing mode, not selected.</source>
        <translation>Modo de encuadre, no seleccionado.</translation>
    </message>
    <message>
        <source>Firmware image file</source>
        <translation>Archivo de firmware</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>Versión del firmware</translation>
    </message>
    <message>
        <source>The firmware version the camera reports.</source>
        <translation>La versión del firmware que indica la cámara.</translation>
    </message>
    <message>
        <source>The share of the firmware image sent to the device, then the device&apos;s own progress in installing it.</source>
        <translation>La parte del firmware enviada al dispositivo y, después, el progreso de su instalación en el dispositivo.</translation>
    </message>
    <message>
        <source>Microphone %1 level</source>
        <extracomment>The level meter of one of the camera&apos;s eight microphones; %1 is its number.</extracomment>
        <translation>Nivel del micrófono %1</translation>
    </message>
    <message>
        <source>Reference %1 level</source>
        <extracomment>The level meter of one of the two reference channels; %1 is its number.</extracomment>
        <translation>Nivel de la referencia %1</translation>
    </message>
    <message>
        <source>Sound direction %1</source>
        <extracomment>A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.</extracomment>
        <translation>Dirección del sonido %1</translation>
    </message>
    <message>
        <source>Looks for the camera now.</source>
        <translation>Busca la cámara ahora.</translation>
    </message>
    <message>
        <source>Switches the camera&apos;s low-pass filter.</source>
        <translation>Activa o desactiva el filtro de paso bajo de la cámara.</translation>
    </message>
    <message>
        <source>Reference channel. This button has no effect.</source>
        <translation>Canal de referencia. Este botón no tiene ningún efecto.</translation>
    </message>
    <message>
        <source>Asks the camera for its firmware version.</source>
        <translation>Pide a la cámara la versión de su firmware.</translation>
    </message>
    <message>
        <source>Chooses the firmware image, a .bin file.</source>
        <translation>Elige el archivo de firmware, un archivo .bin.</translation>
    </message>
    <message>
        <source>Sends the camera into its firmware upgrade mode.</source>
        <translation>Pone la cámara en su modo de actualización del firmware.</translation>
    </message>
    <message>
        <source>Uploads the chosen firmware image to the device in upgrade mode.</source>
        <translation>Envía el firmware elegido al dispositivo en modo actualización.</translation>
    </message>
    <message>
        <source>Asks for the access code, then shows or hides the extra settings.</source>
        <translation>Pide el código de acceso y luego muestra u oculta los ajustes adicionales.</translation>
    </message>
    <message>
        <source>Shows or hides the firmware upgrade controls.</source>
        <translation>Muestra u oculta los controles de actualización del firmware.</translation>
    </message>
    <message>
        <source>Sends the selected framing mode to the camera.</source>
        <translation>Envía el modo de encuadre seleccionado a la cámara.</translation>
    </message>
    <message>
        <source>Closes the program.</source>
        <translation>Cierra el programa.</translation>
    </message>
    <message>
        <source>Invalid File</source>
        <translation>Archivo no válido</translation>
    </message>
    <message>
        <source>Please select a .bin file.</source>
        <translation>Seleccione un archivo .bin.</translation>
    </message>
    <message>
        <source>upd info</source>
        <extracomment>Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.</extracomment>
        <translation>Actualización</translation>
    </message>
    <message>
        <source>UPD Not Connect, Pls Enter UPD First!</source>
        <translation>No hay ningún dispositivo en modo actualización. ¡Active primero el modo actualización!</translation>
    </message>
    <message>
        <source>No File</source>
        <translation>Sin archivo</translation>
    </message>
    <message>
        <source>No update file selected.</source>
        <translation>No se ha seleccionado ningún archivo de actualización.</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>Archivo no encontrado</translation>
    </message>
    <message>
        <source>Selected file does not exist.</source>
        <translation>El archivo seleccionado no existe.</translation>
    </message>
    <message>
        <source>Selected file is not a .bin file.</source>
        <translation>El archivo seleccionado no es un archivo .bin.</translation>
    </message>
    <message>
        <source>Selected file is empty.</source>
        <translation>El archivo seleccionado está vacío.</translation>
    </message>
    <message>
        <source>Selected file is too large.</source>
        <translation>El archivo seleccionado es demasiado grande.</translation>
    </message>
    <message>
        <source>Read Error</source>
        <translation>Error de lectura</translation>
    </message>
    <message>
        <source>Cannot open selected file.</source>
        <translation>No se puede abrir el archivo seleccionado.</translation>
    </message>
    <message>
        <source>Selected file appears invalid (all-zero header).</source>
        <translation>El archivo seleccionado no parece válido (la cabecera es toda ceros).</translation>
    </message>
    <message>
        <source>UPD device not connect</source>
        <translation>Dispositivo en modo actualización no conectado</translation>
    </message>
    <message>
        <source>Cannot open selected file for upload.</source>
        <translation>No se puede abrir el archivo seleccionado para enviarlo.</translation>
    </message>
    <message>
        <source>选择文件</source>
        <extracomment>Title of the file dialog for choosing the firmware image (&quot;Choose a file&quot;).</extracomment>
        <translation>Seleccionar archivo</translation>
    </message>
    <message>
        <source>Binary Files (*.bin);</source>
        <extracomment>The file dialog&apos;s filter. Keep &quot;(*.bin)&quot; and the closing semicolon as they are.</extracomment>
        <translation>Archivos binarios (*.bin);</translation>
    </message>
    <message>
        <source>Upd info</source>
        <translation>Actualización</translation>
    </message>
    <message>
        <source>Upgrade start failed.</source>
        <translation>No se pudo iniciar la actualización.</translation>
    </message>
    <message>
        <source>DOWNLOAD:</source>
        <extracomment>Names the progress bar while the firmware image is sent to the device.</extracomment>
        <translation>TRANSFERENCIA:</translation>
    </message>
    <message>
        <source>Upgrade start timeout. Abort.</source>
        <translation>El dispositivo no confirmó a tiempo el inicio de la actualización. Cancelada.</translation>
    </message>
    <message>
        <source>Write error during upload. Abort.</source>
        <translation>Error de escritura durante la transferencia. Cancelada.</translation>
    </message>
    <message>
        <source>The firmware image could not be read, so the upload was stopped and the device has only part of it. Check the file and start the upgrade again.</source>
        <translation>No se pudo leer el archivo de firmware, así que la transferencia se detuvo y el dispositivo solo tiene una parte. Compruebe el archivo e inicie de nuevo la actualización.</translation>
    </message>
    <message>
        <source>The device did not accept the uploaded image (error code %1). Start the upgrade again.</source>
        <translation>El dispositivo no aceptó el firmware enviado (código de error %1). Inicie de nuevo la actualización.</translation>
    </message>
    <message>
        <source>UPGRADE:</source>
        <extracomment>Names the progress bar while the device installs the new firmware.</extracomment>
        <translation>ACTUALIZACIÓN:</translation>
    </message>
    <message>
        <source>Upgrade completed ,Device will reboot now!</source>
        <translation>Actualización completada. ¡El dispositivo se reiniciará ahora!</translation>
    </message>
    <message>
        <source>The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.</source>
        <translation>El dispositivo se desconectó antes de terminar la actualización. Si vuelve en modo actualización, inicie de nuevo la actualización.</translation>
    </message>
    <message>
        <source>Kelvora Camera 2 Config</source>
        <extracomment>The program&apos;s name, as the desktop shows it when asking the user to wait before sleep or shutdown.</extracomment>
        <translation>Configuración de Kelvora Camera 2</translation>
    </message>
    <message>
        <source>Updating the camera&apos;s firmware; an interruption could leave the camera unusable</source>
        <extracomment>Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.</extracomment>
        <translation>Actualizando el firmware de la cámara; una interrupción podría dejar la cámara inutilizable</translation>
    </message>
    <message>
        <source>The device has stopped reporting its progress. Wait for it to restart; if it comes back in upgrade mode, start the upgrade again.</source>
        <translation>El dispositivo ha dejado de informar de su progreso. Espere a que se reinicie; si vuelve en modo de actualización, inicie la actualización de nuevo.</translation>
    </message>
    <message>
        <source>Status: In use by %1 (pid %2)</source>
        <extracomment>The second status line while another program (the command-line tool, or this program started a second time) works on the camera and this window keeps off it. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>Estado: en uso por %1 (PID %2)</translation>
    </message>
    <message>
        <source>Status: In use by another program</source>
        <extracomment>As &quot;Status: In use by %1 (pid %2)&quot;, when the other program cannot be named.</extracomment>
        <translation>Estado: en uso por otro programa</translation>
    </message>
    <message>
        <source>The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>The box shown when EnterUPD or Start finds another program working on the camera. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>La cámara está en uso por %1 (PID %2). No se le ha enviado nada. Vuelva a intentarlo cuando ese programa haya terminado.</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>As above, when the other program cannot be named.</extracomment>
        <translation>La cámara está en uso por otro programa. No se le ha enviado nada. Vuelva a intentarlo cuando ese programa haya terminado.</translation>
    </message>
    <message>
        <source>Camera in use</source>
        <extracomment>Title of the box shown when EnterUPD or Start finds another program working on the camera.</extracomment>
        <translation>Cámara en uso</translation>
    </message>
</context>
</TS>
