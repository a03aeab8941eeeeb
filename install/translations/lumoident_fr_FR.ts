<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>LUMOIdent</name>
    <message>
        <source>Deprecated C++ Test Template Generator</source>
        <translation>Générateur obsolète de modèles de test C++</translation>
    </message>
    <message>
        <source>ProbaX Test Suite</source>
        <translation>Suite de test ProbaX</translation>
    </message>
    <message>
        <source>V1.0.0</source>
        <translation>V1.0.0</translation>
    </message>
    <message>
        <source>Copyright (C) 2026 the ProbaX project.</source>
        <translation>Copyright (C) 2026 le projet ProbaX.</translation>
    </message>
    <message>
        <source>All rights reserved.</source>
        <translation>Tous droits réservés.</translation>
    </message>
</context>
<context>
    <name>Error Parameter</name>
    <message>
        <source>memory overflow</source>
        <comment>Used as a parameter for 'ERRINTFCT' error message</comment>
        <translation>mémoire saturée</translation>
    </message>
</context>
</TS>
