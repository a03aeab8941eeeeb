<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Fatal Error (squelet)</name>
    <message>
        <source>%1Unable to rename the file 'generated_file' in 'generated_file'_bck: %2</source>
        <comment>Error code "IMPFICREN"</comment>
        <translation>%1Impossible de renommer le fichier 'generated_file' en 'generated_file'_bck : %2</translation>
    </message>
</context>
<context>
    <name>Informations (squelet)</name>
    <message>
        <source>%1The file 'generated_file' has been renamed in 'generated_file'_bck: %2</source>
        <comment>Error code "FICRENAME"</comment>
        <translation>%1Le fichier 'generated_file' a été renommé en 'generated_file'_bck : %2</translation>
    </message>
</context>
</TS>
