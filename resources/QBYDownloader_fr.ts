<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR" sourcelanguage="en_US">
<context>
    <name>ClientDownloader</name>
    <message>
        <source>Quillbay Downloader</source>
        <translation>Quillbay Downloader</translation>
    </message>
    <message>
        <source>Downloading the Quillbay app…</source>
        <translation>Téléchargement de l’app Quillbay…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Download progress</source>
        <translation>Progression du téléchargement</translation>
    </message>
    <message>
        <source>Cancel download</source>
        <translation>Annuler le téléchargement</translation>
    </message>
</context>
<context>
    <name>QBYDownloader</name>
    <message>
        <source>Mac OS X is too old.</source>
        <translation>Votre système Linux est trop ancien.</translation>
    </message>
    <message>
        <source>The Quillbay app is needed to download your game. However the Quillbay app requires Mac OS X 10.6 or newer, and your version of Mac OS X is too old.</source>
        <translation>L’app Quillbay est nécessaire pour télécharger votre jeu. Cependant, l’app Quillbay requiert Linux avec glibc 2.35 ou ultérieur, soit une distribution de 2022 ou plus récente, et votre système est trop ancien.</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Assistance</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Quillbay Downloader</source>
        <translation>Quillbay Downloader</translation>
    </message>
    <message>
        <source>This application will install the Quillbay app. The Quillbay app will then start and begin downloading your game.
</source>
        <translation>Cette application va installer l’app Quillbay. L’app Quillbay démarrera ensuite et commencera à télécharger votre jeu.
</translation>
    </message>
    <message>
        <source>Download &amp; Install</source>
        <translation>Télécharger et installer</translation>
    </message>
    <message>
        <source>The Quillbay app could not be downloaded.</source>
        <translation>L’app Quillbay n’a pas pu être téléchargée.</translation>
    </message>
    <message>
        <source>A problem occurred while starting the download.</source>
        <translation>Un problème est survenu au démarrage du téléchargement.</translation>
    </message>
    <message>
        <source>The Quillbay app could not be started.</source>
        <translation>L’app Quillbay n’a pas pu être lancée.</translation>
    </message>
    <message>
        <source>Please use the Finder to locate the QBY app and then double-click to start it. Contact Technical Support if you continue to have problems.

Error %d</source>
        <translation>Veuillez localiser l’app QBY dans le Finder, puis double-cliquez dessus pour la lancer. Contactez l’assistance technique si les problèmes persistent.

Erreur %d</translation>
    </message>
    <message>
        <source>The QBY servers may be busy or temporarily unavailable. Please try again later.</source>
        <translation>Les serveurs QBY sont peut-être surchargés ou temporairement indisponibles. Veuillez réessayer plus tard.</translation>
    </message>
    <message>
        <source>No folder for the download could be created.</source>
        <translation>Aucun dossier n’a pu être créé pour le téléchargement.</translation>
    </message>
    <message>
        <source>The download ended before the whole file had arrived. Please try again later.</source>
        <translation>Le téléchargement s’est terminé avant que le fichier complet ne soit arrivé. Veuillez réessayer plus tard.</translation>
    </message>
    <message>
        <source>The download was damaged. Please try again.</source>
        <translation>Le téléchargement était endommagé. Veuillez réessayer.</translation>
    </message>
    <message>
        <source>The download was larger than announced. Please try again later.</source>
        <translation>Le téléchargement était plus volumineux qu’annoncé. Veuillez réessayer plus tard.</translation>
    </message>
    <message>
        <source>The server answered %1.</source>
        <translation>Le serveur a répondu %1.</translation>
    </message>
    <message>
        <source>The server redirected the download from a secure (https) address to an insecure (http) one, which is refused.</source>
        <translation>Le serveur a redirigé le téléchargement d’une adresse sécurisée (https) vers une adresse non sécurisée (http), ce qui est refusé.</translation>
    </message>
    <message>
        <source>The download failed: %1.</source>
        <translation>Le téléchargement a échoué : %1.</translation>
    </message>
    <message>
        <source>The server stopped sending data for %1 seconds.</source>
        <translation>Le serveur n’a envoyé aucune donnée pendant %1 secondes.</translation>
    </message>
    <message>
        <source>The server closed the connection after %1 of %2 bytes.</source>
        <translation>Le serveur a fermé la connexion après %1 octets sur %2.</translation>
    </message>
    <message>
        <source>The download could not be saved to %1: %2.</source>
        <translation>Le téléchargement n’a pas pu être enregistré dans %1 : %2.</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message>
        <source>%1 received</source>
        <translation>%1 reçus</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>%1/s</source>
        <translation>%1/s</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>%1 restant</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 octets</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 Ko</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 Mo</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 Go</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>Connection lost. Retrying in %1 s…</source>
        <translation>Connexion perdue. Nouvel essai dans %1 s…</translation>
    </message>
    <message>
        <source>The disk is full. The Quillbay app needs about %1 MB of free space. Please make room and try again.</source>
        <translation>Le disque est plein. L’app Quillbay a besoin d’environ %1 Mo d’espace libre. Veuillez libérer de la place et réessayer.</translation>
    </message>
    <message>
        <source>The disk is full. Please make room and try again.</source>
        <translation>Le disque est plein. Veuillez libérer de la place et réessayer.</translation>
    </message>
</context>
</TS>
