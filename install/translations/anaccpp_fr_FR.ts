<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Internal Error (ana_c_cpp)</name>
    <message>
        <source>%1Internal error in %2</source>
        <comment>Error code "ERRINTERN"</comment>
        <translation>%1Erreur interne dans %2</translation>
    </message>
</context>
</TS>
