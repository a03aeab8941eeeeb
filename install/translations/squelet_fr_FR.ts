<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Internal Error (squelet)</name>
    <message>
        <source>%1Program shutdown: internal error, contact your software representative %2</source>
        <comment>Error code "ERRINTERN"</comment>
        <translation>%1Arrêt du programme : erreur interne, contactez votre support logiciel %2</translation>
    </message>
    <message>
        <source>%1Internal error in the function %2</source>
        <comment>Error code "ERRINTFCT"</comment>
        <translation>%1Erreur interne dans la fonction %2</translation>
    </message>
    <message>
        <source>Undefined message for code number %1</source>
        <comment>Error code "NOMESSDEF"</comment>
        <translation>Message non défini pour le code numéro %1</translation>
    </message>
    <message>
        <source>%1CASE overflow in the module %2</source>
        <comment>Error code "DEBORCASE"</comment>
        <translation>%1Débordement de CASE dans le module %2</translation>
    </message>
</context>
<context>
    <name>Error (squelet)</name>
    <message>
        <source>%1Bad command: %2</source>
        <comment>Error code "CMDERREUR"</comment>
        <translation>%1Commande incorrecte : %2</translation>
    </message>
</context>
<context>
    <name>Fatal Error (squelet)</name>
    <message>
        <source>%1Unable to rename the file 'generated_file' in 'generated_file'_bck: %2</source>
        <comment>Error code "IMPFICREN"</comment>
        <translation>%1Impossible de renommer le fichier 'generated_file' en 'generated_file'_bck : %2</translation>
    </message>
    <message>
        <source>%1Full disk space %2</source>
        <comment>Error code "IMPECRFIC"</comment>
        <translation>%1Espace disque plein %2</translation>
    </message>
    <message>
        <source>%1Cannot close the file %2</source>
        <comment>Error code "IMPFERFIC"</comment>
        <translation>%1Impossible de fermer le fichier %2</translation>
    </message>
    <message>
        <source>%1Cannot open the file %2</source>
        <comment>Error code "IMPOUVFIC"</comment>
        <translation>%1Impossible d'ouvrir le fichier %2</translation>
    </message>
</context>
<context>
    <name>Informations (squelet)</name>
    <message>
        <source>%1The file 'generated_file' has been renamed in 'generated_file'_bck: %2</source>
        <comment>Error code "FICRENAME"</comment>
        <translation>%1Le fichier 'generated_file' a été renommé en 'generated_file'_bck : %2</translation>
    </message>
    <message>
        <source>%1completed %2</source>
        <comment>Error code "FINEXECUT"</comment>
        <translation>%1terminé %2</translation>
    </message>
</context>
</TS>
