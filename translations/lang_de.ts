<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>ANMELDEN</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ABBRECHEN</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>Im Befehlszeilenmodus kann niemand antworten: mit Nein beantwortet.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Passwort erfolgreich geändert für Benutzer: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Der Connect-Dienst versucht, die folgende Aktion auszuführen:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Der Connect-Dienst versucht, die folgende Aktion zu beenden:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Abgelehnt: Im Befehlszeilenmodus kann niemand eine Aktion bestätigen.</translation>
    </message>
    <message>
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>Ausführung der Aktion erlauben? (Automatische Zustimmung in %1 Sekunden)</translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Anmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Abmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Passwortänderung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Nicht vertrauenswürdiger Server!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>Um diese Warnung zu vermeiden, fügen Sie dem Verbindungsprofil ein vertrauenswürdiges CA-Zertifikat hinzu oder deaktivieren Sie die Prüfung des Serverzertifikats (NICHT empfohlen)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Möchten Sie trotzdem fortfahren?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Ungültige Parameter</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Fehler in der Anfrage</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Fehler in der Antwort</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>Systemfehler</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Abmelden</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Ausführbare Datei auswählen</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Ungültige Parameter</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Speicher</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>Die angegebene Aktion läuft bereits für diesen Endpunkt</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Keine gültige ausführbare Datei</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Fehler beim Ausführen des Prozesses</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation>Netzwerkmanager</translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation>Prozessmanager</translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation>API Manager</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>neues Profil %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Schwerwiegender Fehler</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>Konfigurationsdatei fehlt: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n Tag</numerusform>
            <numerusform>%n Tage</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Ungültige Adresse der Webanfrage</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>Die Antwort von %1 ist zu groß</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>mehr als %1 Bytes</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>Keine Antwort von %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>Zeitüberschreitung der Anfrage nach %1 Sekunden</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>Der Server antwortete %1 %2 auf %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>HTTP-Status %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>Netzwerkfehler %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>Die Anfrage an %1 ist fehlgeschlagen</translation>
    </message>
</context>
</TS>
