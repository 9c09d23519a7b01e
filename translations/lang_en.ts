<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>SIGN IN</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>CANCEL</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>No one can answer in command-line mode: answered no.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Password successfully changed for user: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Connect Service is attemping to run the following action:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Connect Service is attemping to close the following action:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Refused: no one can confirm an action in command-line mode.</translation>
    </message>
    <message>
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>Allow action execution? (Autoaccept in %1 seconds)</translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Failed logging in</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Failed logging out</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Failed changing password</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Untrusted Server!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Do you still want to continue?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Bad parameters</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Error in request</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Error in reply</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>System error</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Logout</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Select executable file</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Bad parameters</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>Specified action already running for given endpoint</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Not a valid executable</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Error running process</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation>Network Manager</translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation>Process Manager</translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation>API Manager</translation>
    </message>
    <message>
        <source>High</source>
        <translation>High</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>new profile %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Fatal error</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>Missing configuration file: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n day</numerusform>
            <numerusform>%n days</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Invalid web request address</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>The reply from %1 is too large</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>more than %1 bytes</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>No answer from %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>the request timed out after %1 seconds</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>The server answered %1 %2 to %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>HTTP status %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>network error %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>The request to %1 failed</translation>
    </message>
</context>
</TS>
