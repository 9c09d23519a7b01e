<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>ACCEDI</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ANNULLA</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Avviso</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>In modalità riga di comando nessuno può rispondere: risposta negativa.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Password modificata correttamente per l&apos;utente: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Il servizio Connect sta tentando di eseguire la seguente azione:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Il servizio Connect sta tentando di chiudere la seguente azione:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Rifiutata: in modalità riga di comando nessuno può confermare un&apos;azione.</translation>
    </message>
    <message>
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>Consentire l&apos;esecuzione dell&apos;azione? (Accettazione automatica tra %1 secondi)</translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Accesso non riuscito</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Disconnessione non riuscita</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Modifica della password non riuscita</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Server non attendibile!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>Per evitare questo avviso, aggiungere un certificato CA attendibile al profilo di connessione oppure disattivare la verifica del certificato del server (NON consigliato)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Continuare comunque?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>Nessun errore</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Parametri non validi</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Errore nella richiesta</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Errore nella risposta</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>Errore di sistema</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Indietro</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Ingrandisci</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Riduci</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Esci</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Seleziona il file eseguibile</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>Nessun errore</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Parametri non validi</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Memoria esaurita</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>L&apos;azione indicata è già in esecuzione per questo endpoint</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Non è un eseguibile valido</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Errore durante l&apos;esecuzione del processo</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation>Nessuno</translation>
    </message>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation>Manager di rete</translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation>Manager dei processi</translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation>Manager delle API</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Alta</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Bassa</translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>nuovo profilo %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Errore irreversibile</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>File di configurazione mancante: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n giorno</numerusform>
            <numerusform>%n giorni</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Indirizzo della richiesta web non valido</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>La risposta di %1 è troppo grande</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>più di %1 byte</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>Nessuna risposta da %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>la richiesta è scaduta dopo %1 secondi</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>Il server ha risposto %1 %2 a %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>Stato HTTP %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>errore di rete %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>La richiesta a %1 non è riuscita</translation>
    </message>
</context>
</TS>
