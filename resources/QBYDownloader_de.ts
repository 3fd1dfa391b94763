<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>ClientDownloader</name>
    <message>
        <source>Quillbay Downloader</source>
        <translation>Quillbay Downloader</translation>
    </message>
    <message>
        <source>Downloading the Quillbay app…</source>
        <translation>Die Quillbay-App wird heruntergeladen …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Download progress</source>
        <translation>Download-Fortschritt</translation>
    </message>
    <message>
        <source>Cancel download</source>
        <translation>Download abbrechen</translation>
    </message>
</context>
<context>
    <name>QBYDownloader</name>
    <message>
        <source>Mac OS X is too old.</source>
        <translation>Ihr Linux-System ist zu alt.</translation>
    </message>
    <message>
        <source>The Quillbay app is needed to download your game. However the Quillbay app requires Mac OS X 10.6 or newer, and your version of Mac OS X is too old.</source>
        <translation>Die Quillbay-App wird benötigt, um Ihr Spiel herunterzuladen. Die Quillbay-App erfordert jedoch Linux mit glibc 2.35 oder neuer, also eine Distribution von 2022 oder später, und Ihr System ist zu alt.</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Quillbay Downloader</source>
        <translation>Quillbay Downloader</translation>
    </message>
    <message>
        <source>This application will install the Quillbay app. The Quillbay app will then start and begin downloading your game.
</source>
        <translation>Dieses Programm installiert die Quillbay-App. Die Quillbay-App wird anschließend gestartet und beginnt mit dem Herunterladen Ihres Spiels.
</translation>
    </message>
    <message>
        <source>Download &amp; Install</source>
        <translation>Herunterladen &amp; installieren</translation>
    </message>
    <message>
        <source>The Quillbay app could not be downloaded.</source>
        <translation>Die Quillbay-App konnte nicht heruntergeladen werden.</translation>
    </message>
    <message>
        <source>A problem occurred while starting the download.</source>
        <translation>Beim Starten des Downloads ist ein Problem aufgetreten.</translation>
    </message>
    <message>
        <source>The Quillbay app could not be started.</source>
        <translation>Die Quillbay-App konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Please use the Finder to locate the QBY app and then double-click to start it. Contact Technical Support if you continue to have problems.

Error %d</source>
        <translation>Bitte suchen Sie die QBY-App im Finder und starten Sie sie mit einem Doppelklick. Wenden Sie sich an den technischen Support, falls die Probleme weiterhin bestehen.

Fehler %d</translation>
    </message>
    <message>
        <source>The QBY servers may be busy or temporarily unavailable. Please try again later.</source>
        <translation>Die QBY-Server sind möglicherweise ausgelastet oder vorübergehend nicht erreichbar. Bitte versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>No folder for the download could be created.</source>
        <translation>Für den Download konnte kein Ordner angelegt werden.</translation>
    </message>
    <message>
        <source>The download ended before the whole file had arrived. Please try again later.</source>
        <translation>Der Download endete, bevor die ganze Datei angekommen war. Bitte versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>The download was damaged. Please try again.</source>
        <translation>Der Download war beschädigt. Bitte versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The download was larger than announced. Please try again later.</source>
        <translation>Der Download war größer als angekündigt. Bitte versuchen Sie es später erneut.</translation>
    </message>
    <message>
        <source>The server answered %1.</source>
        <translation>Der Server antwortete %1.</translation>
    </message>
    <message>
        <source>The server redirected the download from a secure (https) address to an insecure (http) one, which is refused.</source>
        <translation>Der Server hat den Download von einer sicheren (https) auf eine unsichere (http) Adresse umgeleitet; das wird abgelehnt.</translation>
    </message>
    <message>
        <source>The download failed: %1.</source>
        <translation>Der Download ist fehlgeschlagen: %1.</translation>
    </message>
    <message>
        <source>The server stopped sending data for %1 seconds.</source>
        <translation>Der Server hat %1 Sekunden lang keine Daten gesendet.</translation>
    </message>
    <message>
        <source>The server closed the connection after %1 of %2 bytes.</source>
        <translation>Der Server hat die Verbindung nach %1 von %2 Bytes getrennt.</translation>
    </message>
    <message>
        <source>The download could not be saved to %1: %2.</source>
        <translation>Der Download konnte nicht unter %1 gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>%1 received</source>
        <translation>%1 empfangen</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 – %2</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>noch %1</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Byte</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 kB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 Sek.</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 Std. %2 Min.</translation>
    </message>
    <message>
        <source>Connection lost. Retrying in %1 s…</source>
        <translation>Verbindung unterbrochen. Neuer Versuch in %1 s …</translation>
    </message>
    <message>
        <source>The disk is full. The Quillbay app needs about %1 MB of free space. Please make room and try again.</source>
        <translation>Der Datenträger ist voll. Die Quillbay-App braucht etwa %1 MB freien Speicherplatz. Bitte schaffen Sie Platz und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>The disk is full. Please make room and try again.</source>
        <translation>Der Datenträger ist voll. Bitte schaffen Sie Platz und versuchen Sie es erneut.</translation>
    </message>
</context>
</TS>
