<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en_US">
<context>
    <name>QBYDownloader</name>
    <message>
        <source>Mac OS X is too old.</source>
        <translation>Your Linux system is too old.</translation>
    </message>
    <message>
        <source>The Quillbay app is needed to download your game. However the Quillbay app requires Mac OS X 10.6 or newer, and your version of Mac OS X is too old.</source>
        <translation>The Quillbay app is needed to download your game. However the Quillbay app requires Linux with glibc 2.35 or newer, that is a distribution from 2022 or later, and your system is too old.</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
</context>
</TS>
