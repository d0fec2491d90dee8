<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>AccessNotice</name>
    <message>
        <source>This user may not open the camera</source>
        <extracomment>Heading of the notice shown when the camera is plugged in but this user has no permission to open it.</extracomment>
        <translation>このユーザーにはカメラを開く権限がありません</translation>
    </message>
    <message>
        <source>The camera is on the USB bus, but this user may not open its HID interfaces. On Linux a udev rule (%1) gives them to the person logged in at this computer; logins from elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program&apos;s package does), or copy it from the source&apos;s packaging/linux folder to %2. Then run these commands and plug the camera in again. The last command says exactly what is missing.</source>
        <extracomment>%1 is the udev rule&apos;s file name, %2 the folder for local rules (/etc/udev/rules.d). &quot;udev&quot; is the Linux device manager; keep the names as they are. The commands follow below the text.</extracomment>
        <translation>カメラは USB バスに接続されていますが、このユーザーにはその HID インターフェースを開く権限がありません。Linux では udev ルール（%1）が、このコンピューターにログインしている人にアクセスを与えます。ほかの場所からのログイン（SSH、リモートデスクトップ）には与えられません。ルールをインストールするか（プログラムのパッケージが行います）、ソースの packaging/linux フォルダーから %2 にコピーしてください。その後、以下のコマンドを実行し、カメラを接続し直してください。最後のコマンドは、何が足りないかを正確に示します。</translation>
    </message>
    <message>
        <source>Commands to run</source>
        <extracomment>Accessible name of the box that holds the commands to copy.</extracomment>
        <translation>実行するコマンド</translation>
    </message>
    <message>
        <source>Copy Commands</source>
        <extracomment>Button: copies the commands of the notice to the clipboard.</extracomment>
        <translation>コマンドをコピー</translation>
    </message>
    <message>
        <source>Copies the commands to the clipboard.</source>
        <translation>コマンドをクリップボードにコピーします。</translation>
    </message>
    <message>
        <source>Close</source>
        <extracomment>Button: closes the notice (it comes back when the camera is plugged in again).</extracomment>
        <translation>閉じる</translation>
    </message>
    <message>
        <source>Closes this notice.</source>
        <translation>この通知を閉じます。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvora Camera 2 Config (v1.0.7)</source>
        <extracomment>The window title: the product name, then the program version.</extracomment>
        <translation>Kelvora Camera 2 設定 (v1.0.7)</translation>
    </message>
    <message>
        <source>Device: Unknown</source>
        <translation>デバイス：不明</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Button: looks for the camera at once (verb).</extracomment>
        <translation>更新</translation>
    </message>
    <message>
        <source>Status: Disconnected</source>
        <translation>状態：未接続</translation>
    </message>
    <message>
        <source>MODE:</source>
        <extracomment>Label of the camera&apos;s framing mode (way of working, not a menu) until the camera has reported it.</extracomment>
        <translation>モード：</translation>
    </message>
    <message>
        <source>FullScreen</source>
        <extracomment>Framing mode: the camera shows its whole field of view.</extracomment>
        <translation>全画面</translation>
    </message>
    <message>
        <source>AutoFraming</source>
        <extracomment>Framing mode: the camera zooms to fit the people in the room.</extracomment>
        <translation>オートフレーミング</translation>
    </message>
    <message>
        <source>VoiceTracking</source>
        <extracomment>Framing mode: the camera follows whoever is speaking.</extracomment>
        <translation>話者追尾</translation>
    </message>
    <message>
        <source>SmartGallery(1080P only)</source>
        <extracomment>Framing mode: each person in a tile of their own; works only at 1080p resolution.</extracomment>
        <translation>スマートギャラリー（1080Pのみ）</translation>
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
        <translation>ファイルパス：</translation>
    </message>
    <message>
        <source>Select</source>
        <extracomment>Button: opens a dialog to choose the firmware image file (verb).</extracomment>
        <translation>選択</translation>
    </message>
    <message>
        <source>VERSION:  </source>
        <extracomment>Label of the camera&apos;s firmware version; the two trailing spaces keep it apart from the field.</extracomment>
        <translation>バージョン：  </translation>
    </message>
    <message>
        <source>GetVersion</source>
        <extracomment>Button: asks the camera for its firmware version.</extracomment>
        <translation>バージョン取得</translation>
    </message>
    <message>
        <source>EnterUPD</source>
        <extracomment>Button: sends the camera into its firmware upgrade mode (UPD).</extracomment>
        <translation>アップデートモードへ</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <extracomment>Label of the upgrade progress bar before an upgrade: the image is sent (downloaded) to the device.</extracomment>
        <translation>転送</translation>
    </message>
    <message>
        <source>Start</source>
        <extracomment>Button: starts sending the chosen firmware image to the device (verb).</extracomment>
        <translation>開始</translation>
    </message>
    <message>
        <source>More Setting</source>
        <extracomment>Button: asks for the access code, then shows or hides the extra settings.</extracomment>
        <translation>詳細設定</translation>
    </message>
    <message>
        <source>Upgrade Mode</source>
        <extracomment>Button: shows or hides the firmware upgrade controls.</extracomment>
        <translation>アップデートモード</translation>
    </message>
    <message>
        <source>Apply</source>
        <extracomment>Button: sends the selected framing mode to the camera (verb).</extracomment>
        <translation>適用</translation>
    </message>
    <message>
        <source>EXIT</source>
        <extracomment>Button: closes the program.</extracomment>
        <translation>終了</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>不明</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <extracomment>The camera&apos;s framing mode, as it last confirmed it (Mode as in way of working, not a menu). %1 is the mode&apos;s name, the same as on its button.</extracomment>
        <translation>モード：%1</translation>
    </message>
    <message>
        <source>Mode: UPD</source>
        <extracomment>The camera is in its firmware upgrade mode (UPD, the upgrade device).</extracomment>
        <translation>モード：アップデート</translation>
    </message>
    <message>
        <source>Configuration Failed</source>
        <translation>設定に失敗しました</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>デバイスが接続されていません</translation>
    </message>
    <message>
        <source>Configuration Applied</source>
        <translation>設定を適用しました</translation>
    </message>
    <message>
        <source>The new settings have been set successfully.</source>
        <translation>新しい設定を適用しました。</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <extracomment>The first status line. %1 is the name the camera gives itself, or AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware upgrade mode) until it has said; those two stay as they are.</extracomment>
        <translation>デバイス：%1</translation>
    </message>
    <message>
        <source>Password</source>
        <extracomment>Title of the box that asks for the access code to the extra settings.</extracomment>
        <translation>パスワード</translation>
    </message>
    <message>
        <source>Input passwords:</source>
        <extracomment>The prompt of that box; the code is four digits.</extracomment>
        <translation>パスワードを入力してください：</translation>
    </message>
    <message>
        <source>Device: Not Found</source>
        <translation>デバイス：見つかりません</translation>
    </message>
    <message>
        <source>Status: Connected</source>
        <translation>状態：接続済み</translation>
    </message>
    <message>
        <source>HID Error</source>
        <translation>HID エラー</translation>
    </message>
    <message>
        <source>Unable to open HID device.</source>
        <translation>HID デバイスを開けません。</translation>
    </message>
    <message>
        <source>Selected framing mode. Apply sends it to the camera.</source>
        <translation>選択中のフレーミングモード。「適用」でカメラに送信します。</translation>
    </message>
    <message>
        <source>Framing mode, not selected.</source>
        <translation>フレーミングモード（未選択）。</translation>
    </message>
    <message>
        <source>Firmware image file</source>
        <translation>ファームウェアファイル</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>ファームウェアのバージョン</translation>
    </message>
    <message>
        <source>The firmware version the camera reports.</source>
        <translation>カメラが報告したファームウェアのバージョン。</translation>
    </message>
    <message>
        <source>The share of the firmware image sent to the device, then the device&apos;s own progress in installing it.</source>
        <translation>デバイスへ転送したファームウェアの割合。その後はデバイスによるインストールの進み具合。</translation>
    </message>
    <message>
        <source>Microphone %1 level</source>
        <extracomment>The level meter of one of the camera&apos;s eight microphones; %1 is its number.</extracomment>
        <translation>マイク %1 のレベル</translation>
    </message>
    <message>
        <source>Reference %1 level</source>
        <extracomment>The level meter of one of the two reference channels; %1 is its number.</extracomment>
        <translation>リファレンス %1 のレベル</translation>
    </message>
    <message>
        <source>Sound direction %1</source>
        <extracomment>A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.</extracomment>
        <translation>音の方向 %1</translation>
    </message>
    <message>
        <source>Looks for the camera now.</source>
        <translation>今すぐカメラを探します。</translation>
    </message>
    <message>
        <source>Switches the camera&apos;s low-pass filter.</source>
        <translation>カメラのローパスフィルターを切り替えます。</translation>
    </message>
    <message>
        <source>Reference channel. This button has no effect.</source>
        <translation>リファレンスチャンネル。このボタンには機能がありません。</translation>
    </message>
    <message>
        <source>Asks the camera for its firmware version.</source>
        <translation>カメラにファームウェアのバージョンを問い合わせます。</translation>
    </message>
    <message>
        <source>Chooses the firmware image, a .bin file.</source>
        <translation>ファームウェアファイル（.bin ファイル）を選択します。</translation>
    </message>
    <message>
        <source>Sends the camera into its firmware upgrade mode.</source>
        <translation>カメラをファームウェアのアップデートモードにします。</translation>
    </message>
    <message>
        <source>Uploads the chosen firmware image to the device in upgrade mode.</source>
        <translation>選択したファームウェアを、アップデートモードのデバイスに転送します。</translation>
    </message>
    <message>
        <source>Asks for the access code, then shows or hides the extra settings.</source>
        <translation>アクセスコードを尋ね、詳細設定を表示または非表示にします。</translation>
    </message>
    <message>
        <source>Shows or hides the firmware upgrade controls.</source>
        <translation>ファームウェアのアップデート用コントロールを表示または非表示にします。</translation>
    </message>
    <message>
        <source>Sends the selected framing mode to the camera.</source>
        <translation>選択したフレーミングモードをカメラに送信します。</translation>
    </message>
    <message>
        <source>Closes the program.</source>
        <translation>プログラムを終了します。</translation>
    </message>
    <message>
        <source>Invalid File</source>
        <translation>無効なファイル</translation>
    </message>
    <message>
        <source>Please select a .bin file.</source>
        <translation>.bin ファイルを選択してください。</translation>
    </message>
    <message>
        <source>upd info</source>
        <extracomment>Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.</extracomment>
        <translation>アップデート</translation>
    </message>
    <message>
        <source>UPD Not Connect, Pls Enter UPD First!</source>
        <translation>アップデートモードのデバイスが接続されていません。先にアップデートモードにしてください！</translation>
    </message>
    <message>
        <source>No File</source>
        <translation>ファイルがありません</translation>
    </message>
    <message>
        <source>No update file selected.</source>
        <translation>アップデートファイルが選択されていません。</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>ファイルが見つかりません</translation>
    </message>
    <message>
        <source>Selected file does not exist.</source>
        <translation>選択したファイルは存在しません。</translation>
    </message>
    <message>
        <source>Selected file is not a .bin file.</source>
        <translation>選択したファイルは .bin ファイルではありません。</translation>
    </message>
    <message>
        <source>Selected file is empty.</source>
        <translation>選択したファイルは空です。</translation>
    </message>
    <message>
        <source>Selected file is too large.</source>
        <translation>選択したファイルは大きすぎます。</translation>
    </message>
    <message>
        <source>Read Error</source>
        <translation>読み込みエラー</translation>
    </message>
    <message>
        <source>Cannot open selected file.</source>
        <translation>選択したファイルを開けません。</translation>
    </message>
    <message>
        <source>Selected file appears invalid (all-zero header).</source>
        <translation>選択したファイルは無効のようです（ヘッダーがすべてゼロです）。</translation>
    </message>
    <message>
        <source>UPD device not connect</source>
        <translation>アップデートモードのデバイスが接続されていません</translation>
    </message>
    <message>
        <source>Cannot open selected file for upload.</source>
        <translation>転送のために選択したファイルを開けません。</translation>
    </message>
    <message>
        <source>选择文件</source>
        <extracomment>Title of the file dialog for choosing the firmware image (&quot;Choose a file&quot;).</extracomment>
        <translation>ファイルを選択</translation>
    </message>
    <message>
        <source>Binary Files (*.bin);</source>
        <extracomment>The file dialog&apos;s filter. Keep &quot;(*.bin)&quot; and the closing semicolon as they are.</extracomment>
        <translation>バイナリファイル (*.bin);</translation>
    </message>
    <message>
        <source>Upd info</source>
        <translation>アップデート</translation>
    </message>
    <message>
        <source>Upgrade start failed.</source>
        <translation>アップデートを開始できませんでした。</translation>
    </message>
    <message>
        <source>DOWNLOAD:</source>
        <extracomment>Names the progress bar while the firmware image is sent to the device.</extracomment>
        <translation>転送：</translation>
    </message>
    <message>
        <source>Upgrade start timeout. Abort.</source>
        <translation>デバイスがアップデートの開始に応答しませんでした。中止します。</translation>
    </message>
    <message>
        <source>Write error during upload. Abort.</source>
        <translation>転送中に書き込みエラーが発生しました。中止します。</translation>
    </message>
    <message>
        <source>The firmware image could not be read, so the upload was stopped and the device has only part of it. Check the file and start the upgrade again.</source>
        <translation>ファームウェアファイルを読み込めなかったため、転送を中止しました。デバイスには一部しか届いていません。ファイルを確認して、アップデートをやり直してください。</translation>
    </message>
    <message>
        <source>The device did not accept the uploaded image (error code %1). Start the upgrade again.</source>
        <translation>デバイスは転送したファームウェアを受け付けませんでした（エラーコード %1）。アップデートをやり直してください。</translation>
    </message>
    <message>
        <source>UPGRADE:</source>
        <extracomment>Names the progress bar while the device installs the new firmware.</extracomment>
        <translation>アップデート：</translation>
    </message>
    <message>
        <source>Upgrade completed ,Device will reboot now!</source>
        <translation>アップデートが完了しました。デバイスを再起動します！</translation>
    </message>
    <message>
        <source>The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.</source>
        <translation>アップデートが終わる前にデバイスが切断されました。アップデートモードで再接続されたら、アップデートをやり直してください。</translation>
    </message>
    <message>
        <source>Kelvora Camera 2 Config</source>
        <extracomment>The program&apos;s name, as the desktop shows it when asking the user to wait before sleep or shutdown.</extracomment>
        <translation>Kelvora Camera 2 設定</translation>
    </message>
    <message>
        <source>Updating the camera&apos;s firmware; an interruption could leave the camera unusable</source>
        <extracomment>Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.</extracomment>
        <translation>カメラのファームウェアをアップデートしています。中断するとカメラが使えなくなるおそれがあります</translation>
    </message>
    <message>
        <source>The device has stopped reporting its progress. Wait for it to restart; if it comes back in upgrade mode, start the upgrade again.</source>
        <translation>デバイスが進行状況を報告しなくなりました。再起動するまでお待ちください。アップグレードモードで戻ってきた場合は、アップグレードをもう一度開始してください。</translation>
    </message>
    <message>
        <source>Status: In use by %1 (pid %2)</source>
        <extracomment>The second status line while another program (the command-line tool, or this program started a second time) works on the camera and this window keeps off it. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>状態：%1 (PID %2) が使用中</translation>
    </message>
    <message>
        <source>Status: In use by another program</source>
        <extracomment>As &quot;Status: In use by %1 (pid %2)&quot;, when the other program cannot be named.</extracomment>
        <translation>状態：他のプログラムが使用中</translation>
    </message>
    <message>
        <source>The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>The box shown when EnterUPD or Start finds another program working on the camera. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>カメラは %1 (PID %2) が使用中です。カメラには何も送信されていません。そのプログラムの終了後にもう一度お試しください。</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>As above, when the other program cannot be named.</extracomment>
        <translation>カメラは他のプログラムが使用中です。カメラには何も送信されていません。そのプログラムの終了後にもう一度お試しください。</translation>
    </message>
    <message>
        <source>Camera in use</source>
        <extracomment>Title of the box shown when EnterUPD or Start finds another program working on the camera.</extracomment>
        <translation>カメラは使用中です</translation>
    </message>
</context>
</TS>
