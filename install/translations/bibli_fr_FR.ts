<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Internal Errors (bibli)</name>
    <message>
        <source>%1CASE overflow in the module %2</source>
        <comment>Error code "DEBORCASE"</comment>
        <translation>%1Débordement de CASE dans le module %2</translation>
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
        <source>%1Cannot convert string %2 into an integer value</source>
        <comment>Error code "TRFSTRINT"</comment>
        <translation>%1Impossible de convertir la chaîne %2 en valeur entière</translation>
    </message>
</context>
<context>
    <name>Errors (bibli)</name>
    <message>
        <source>%1Division by zero</source>
        <comment>Error code "DIVBYZERO"</comment>
        <translation>%1Division par zéro</translation>
    </message>
    <message>
        <source>%1Integer operation overflow %2</source>
        <comment>Error code "OVERFLOW"</comment>
        <translation>%1Dépassement de capacité dans une opération entière %2</translation>
    </message>
    <message>
        <source>%1Incorrect value for ORTEKLAN environment variable: %2</source>
        <comment>Error code "LANSWITCH"</comment>
        <translation>%1Valeur incorrecte pour la variable d'environnement ORTEKLAN : %2</translation>
    </message>
</context>
<context>
    <name>Fatal Errors (bibli)</name>
    <message>
        <source>%1Wrong command line %2</source>
        <comment>Error code "CMDFATALE"</comment>
        <translation>%1Ligne de commande incorrecte %2</translation>
    </message>
    <message>
        <source>%1Program shutdown: user fatal error %2</source>
        <comment>Error code "ERRFATALE"</comment>
        <translation>%1Arrêt du programme : erreur fatale de l'utilisateur %2</translation>
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
    <name>Warnings (bibli)</name>
    <message>
        <source>%1%2 is not a directory </source>
        <comment>Error code "INCLTYPER"</comment>
        <translation>%1%2 n'est pas un répertoire </translation>
    </message>
    <message>
        <source>%1Bad command: %2</source>
        <comment>Error code "CMDERREUR"</comment>
        <translation>%1Commande incorrecte : %2</translation>
    </message>
</context>
<context>
    <name>Informations (bibli)</name>
    <message>
        <source>%1completed %2</source>
        <comment>Error code "FINEXECUT"</comment>
        <translation>%1terminé %2</translation>
    </message>
</context>
</TS>
