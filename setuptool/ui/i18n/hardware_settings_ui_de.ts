<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>FullEffectSettingsWidget</name>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt;&quot;&gt;Strength of all effects combined for corresponding axis. In percents to what device can produce depending on other settings.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:10pt;&quot;&gt;Stärke aller Effekte zusammen für die jeweilige Achse. In Prozent dessen, was das Gerät abhängig von den übrigen Einstellungen leisten kann.&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>Axis 0</source>
        <translation>Achse 0</translation>
    </message>
    <message>
        <source>Motion range (degrees)</source>
        <translation>Bewegungsbereich (Grad)</translation>
    </message>
    <message>
        <source>Total effect strength (%)</source>
        <translation>Gesamtstärke der Effekte (%)</translation>
    </message>
    <message>
        <source>Soft stop strength (%)</source>
        <translation>Stärke des weichen Anschlags (%)</translation>
    </message>
    <message>
        <source>Soft stop range (degrees)</source>
        <translation>Bereich des weichen Anschlags (Grad)</translation>
    </message>
    <message>
        <source>Static dampening (%)</source>
        <translation>Statische Dämpfung (%)</translation>
    </message>
    <message>
        <source>Dynamic dampening (%)</source>
        <translation>Dynamische Dämpfung (%)</translation>
    </message>
    <message>
        <source>Soft stop dampening (%)</source>
        <translation>Dämpfung des weichen Anschlags (%)</translation>
    </message>
    <message>
        <source>Max force available (kg)</source>
        <translation>Maximal verfügbare Kraft (kg)</translation>
    </message>
    <message>
        <source>Axis 1</source>
        <translation>Achse 1</translation>
    </message>
    <message>
        <source>DirectX FFB</source>
        <translation>DirectX-FFB</translation>
    </message>
    <message>
        <source>Invert constant force</source>
        <translation>Konstante Kraft umkehren</translation>
    </message>
    <message>
        <source>Direct X spring forces strength (%)</source>
        <translation>Stärke der DirectX-Federkräfte (%)</translation>
    </message>
    <message>
        <source>Direct X constant forces strength (%)</source>
        <translation>Stärke der konstanten DirectX-Kräfte (%)</translation>
    </message>
    <message>
        <source>Direct X periodic forces strength (%)</source>
        <translation>Stärke der periodischen DirectX-Kräfte (%)</translation>
    </message>
    <message>
        <source>Enter a profile name.</source>
        <translation>Bitte einen Profilnamen eingeben.</translation>
    </message>
    <message>
        <source>A profile name cannot contain &quot;/&quot; or &quot;\&quot;.</source>
        <translation>Ein Profilname darf weder „/“ noch „\“ enthalten.</translation>
    </message>
    <message>
        <source>A profile name cannot start with a dot.</source>
        <translation>Ein Profilname darf nicht mit einem Punkt beginnen.</translation>
    </message>
    <message>
        <source>A profile name cannot contain control characters.</source>
        <translation>Ein Profilname darf keine Steuerzeichen enthalten.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is reserved by the system.</source>
        <translation>„%1“ ist vom System reserviert.</translation>
    </message>
    <message>
        <source>Profile &quot;%1&quot; was not saved: the file is a link.</source>
        <translation>Profil „%1“ wurde nicht gespeichert: Die Datei ist eine Verknüpfung.</translation>
    </message>
    <message>
        <source>Profile &quot;%1&quot; was not saved: %2</source>
        <translation>Profil „%1“ wurde nicht gespeichert: %2</translation>
    </message>
    <message>
        <source>Profile &quot;%1&quot; was not deleted: %2</source>
        <translation>Profil „%1“ wurde nicht gelöscht: %2</translation>
    </message>
    <message>
        <source>There is no profile &quot;%1&quot;.</source>
        <translation>Es gibt kein Profil „%1“.</translation>
    </message>
    <message>
        <source>Profile &quot;%1&quot; could not be read: %2</source>
        <translation>Profil „%1“ konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Profile &quot;%1&quot; is incomplete and was not applied.</source>
        <translation>Profil „%1“ ist unvollständig und wurde nicht übernommen.</translation>
    </message>
</context>
<context>
    <name>FullHardwareSettingsWidget</name>
    <message>
        <source>Debug forces</source>
        <translation>Kräfte zur Fehlersuche</translation>
    </message>
    <message>
        <source>Enable forces (Require reboot)</source>
        <translation>Kräfte einschalten (Neustart erforderlich)</translation>
    </message>
    <message>
        <source>Current sense gain (Require reboot)</source>
        <translation>Verstärkung der Strommessung (Neustart erforderlich)</translation>
    </message>
    <message>
        <source>Calibration (Require reboot)</source>
        <translation>Kalibrierung (Neustart erforderlich)</translation>
    </message>
    <message>
        <source>Axis 0</source>
        <translation>Achse 0</translation>
    </message>
    <message>
        <source>Invert joystick output</source>
        <translation>Joystick-Ausgabe umkehren</translation>
    </message>
    <message>
        <source>Invert force output</source>
        <translation>Kraftausgabe umkehren</translation>
    </message>
    <message>
        <source>Encoder CPR</source>
        <translation>Encoder-CPR</translation>
    </message>
    <message>
        <source>Pole pairs</source>
        <translation>Polpaare</translation>
    </message>
    <message>
        <source>P gain</source>
        <translation>P-Verstärkung</translation>
    </message>
    <message>
        <source>I gain</source>
        <translation>I-Verstärkung</translation>
    </message>
    <message>
        <source>Axis 1</source>
        <translation>Achse 1</translation>
    </message>
    <message>
        <source>Power limit (%)</source>
        <translation>Leistungsgrenze (%)</translation>
    </message>
    <message>
        <source>Calibration magnitude (%)</source>
        <translation>Kalibrierstärke (%)</translation>
    </message>
    <message>
        <source>Calibration speed (%)</source>
        <translation>Kalibriergeschwindigkeit (%)</translation>
    </message>
    <message>
        <source>Calibration stop current (%)</source>
        <translation>Abschaltstrom der Kalibrierung (%)</translation>
    </message>
    <message>
        <source>Braking resistor limit (%)</source>
        <translation>Grenze des Bremswiderstands (%)</translation>
    </message>
    <message>
        <source>Speed sample buffer size</source>
        <translation>Puffergröße der Geschwindigkeitsmessung</translation>
    </message>
    <message>
        <source>Position smoothing (%)</source>
        <translation>Positionsglättung (%)</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Calibration start angle as the center</source>
        <translation>Startwinkel der Kalibrierung als Mitte</translation>
    </message>
    <message>
        <source>Automatic center of range search</source>
        <translation>Automatische Suche der Bereichsmitte</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Effects</source>
        <translation>Effekte</translation>
    </message>
    <message>
        <source>Read current effects settings from controller</source>
        <translation>Aktuelle Effekteinstellungen vom Controller lesen</translation>
    </message>
    <message>
        <source>Apply current effects settings to controller</source>
        <translation>Aktuelle Effekteinstellungen im Controller anwenden</translation>
    </message>
    <message>
        <source>Save effects settings to controller&apos;s permament memory</source>
        <translation>Effekteinstellungen dauerhaft im Controller speichern</translation>
    </message>
    <message>
        <source>Hardware</source>
        <translation>Hardware</translation>
    </message>
    <message>
        <source>Read current hardware settings from controller</source>
        <translation>Aktuelle Hardwareeinstellungen vom Controller lesen</translation>
    </message>
    <message>
        <source>Apply current hardware settings to controller</source>
        <translation>Aktuelle Hardwareeinstellungen im Controller anwenden</translation>
    </message>
    <message>
        <source>Save hardware settings to controller&apos;s permament memory</source>
        <translation>Hardwareeinstellungen dauerhaft im Controller speichern</translation>
    </message>
    <message>
        <source>GPIO</source>
        <translation>GPIO</translation>
    </message>
    <message>
        <source>GPIO modes (Require reboot)</source>
        <translation>GPIO-Modi (Neustart erforderlich)</translation>
    </message>
    <message>
        <source>Pin 1</source>
        <translation>Pin 1</translation>
    </message>
    <message>
        <source>Pin 2</source>
        <translation>Pin 2</translation>
    </message>
    <message>
        <source>Pin 3</source>
        <translation>Pin 3</translation>
    </message>
    <message>
        <source>Pin 4</source>
        <translation>Pin 4</translation>
    </message>
    <message>
        <source>Pin 5</source>
        <translation>Pin 5</translation>
    </message>
    <message>
        <source>Pin 6</source>
        <translation>Pin 6</translation>
    </message>
    <message>
        <source>Pin 7</source>
        <translation>Pin 7</translation>
    </message>
    <message>
        <source>Pin 8</source>
        <translation>Pin 8</translation>
    </message>
    <message>
        <source>Encoder Z0</source>
        <translation>Encoder Z0</translation>
    </message>
    <message>
        <source>Encoder Z1</source>
        <translation>Encoder Z1</translation>
    </message>
    <message>
        <source>Extensions (Require reboot)</source>
        <translation>Erweiterungen (Neustart erforderlich)</translation>
    </message>
    <message>
        <source>SPI mode</source>
        <translation>SPI-Modus</translation>
    </message>
    <message>
        <source>SPI recomendations</source>
        <translation>SPI-Empfehlungen</translation>
    </message>
    <message>
        <source>- SCK line at PIN 3</source>
        <translation>- SCK-Leitung an PIN 3</translation>
    </message>
    <message>
        <source>- MISO line at PIN 4</source>
        <translation>- MISO-Leitung an PIN 4</translation>
    </message>
    <message>
        <source>- CS line at PIN 5</source>
        <translation>- CS-Leitung an PIN 5</translation>
    </message>
    <message>
        <source>Buttons</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>Button 1</source>
        <translation>Taste 1</translation>
    </message>
    <message>
        <source>Button 2</source>
        <translation>Taste 2</translation>
    </message>
    <message>
        <source>Button 3</source>
        <translation>Taste 3</translation>
    </message>
    <message>
        <source>Button 4</source>
        <translation>Taste 4</translation>
    </message>
    <message>
        <source>Button 5</source>
        <translation>Taste 5</translation>
    </message>
    <message>
        <source>Button 6</source>
        <translation>Taste 6</translation>
    </message>
    <message>
        <source>Button 7</source>
        <translation>Taste 7</translation>
    </message>
    <message>
        <source>Button 8</source>
        <translation>Taste 8</translation>
    </message>
    <message>
        <source>Shift register 1</source>
        <translation>Schieberegister 1</translation>
    </message>
    <message>
        <source>Button 9</source>
        <translation>Taste 9</translation>
    </message>
    <message>
        <source>Button 10</source>
        <translation>Taste 10</translation>
    </message>
    <message>
        <source>Button 11</source>
        <translation>Taste 11</translation>
    </message>
    <message>
        <source>Button 12</source>
        <translation>Taste 12</translation>
    </message>
    <message>
        <source>Button 13</source>
        <translation>Taste 13</translation>
    </message>
    <message>
        <source>Button 14</source>
        <translation>Taste 14</translation>
    </message>
    <message>
        <source>Button 15</source>
        <translation>Taste 15</translation>
    </message>
    <message>
        <source>Button 16</source>
        <translation>Taste 16</translation>
    </message>
    <message>
        <source>Shift register 2</source>
        <translation>Schieberegister 2</translation>
    </message>
    <message>
        <source>Button 17</source>
        <translation>Taste 17</translation>
    </message>
    <message>
        <source>Button 18</source>
        <translation>Taste 18</translation>
    </message>
    <message>
        <source>Button 19</source>
        <translation>Taste 19</translation>
    </message>
    <message>
        <source>Button 20</source>
        <translation>Taste 20</translation>
    </message>
    <message>
        <source>Button 21</source>
        <translation>Taste 21</translation>
    </message>
    <message>
        <source>Button 22</source>
        <translation>Taste 22</translation>
    </message>
    <message>
        <source>Button 23</source>
        <translation>Taste 23</translation>
    </message>
    <message>
        <source>Button 24</source>
        <translation>Taste 24</translation>
    </message>
    <message>
        <source>Shift register 3</source>
        <translation>Schieberegister 3</translation>
    </message>
    <message>
        <source>Button 25</source>
        <translation>Taste 25</translation>
    </message>
    <message>
        <source>Button 26</source>
        <translation>Taste 26</translation>
    </message>
    <message>
        <source>Button 27</source>
        <translation>Taste 27</translation>
    </message>
    <message>
        <source>Button 28</source>
        <translation>Taste 28</translation>
    </message>
    <message>
        <source>Button 29</source>
        <translation>Taste 29</translation>
    </message>
    <message>
        <source>Button 30</source>
        <translation>Taste 30</translation>
    </message>
    <message>
        <source>Button 31</source>
        <translation>Taste 31</translation>
    </message>
    <message>
        <source>Button 32</source>
        <translation>Taste 32</translation>
    </message>
    <message>
        <source>Analog axes</source>
        <translation>Analogachsen</translation>
    </message>
    <message>
        <source>Lower dead zone</source>
        <translation>Untere Totzone</translation>
    </message>
    <message>
        <source>Upper dead zone</source>
        <translation>Obere Totzone</translation>
    </message>
    <message>
        <source>Smoothing(%)</source>
        <translation>Glättung (%)</translation>
    </message>
    <message>
        <source>Button low(%)</source>
        <translation>Taste unten (%)</translation>
    </message>
    <message>
        <source>Button high(%)</source>
        <translation>Taste oben (%)</translation>
    </message>
    <message>
        <source>Rx</source>
        <translation>Rx</translation>
    </message>
    <message>
        <source>Invert</source>
        <translation>Umkehren</translation>
    </message>
    <message>
        <source>Ry</source>
        <translation>Ry</translation>
    </message>
    <message>
        <source>Rz</source>
        <translation>Rz</translation>
    </message>
    <message>
        <source>Switch to DFU mode</source>
        <translation>In den DFU-Modus wechseln</translation>
    </message>
    <message>
        <source>Reboot controller</source>
        <translation>Controller neu starten</translation>
    </message>
    <message>
        <source>No compatible devices connected</source>
        <translation>Keine kompatiblen Geräte angeschlossen</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Generic button</source>
        <translation>Allgemeine Taste</translation>
    </message>
    <message>
        <source>Analog</source>
        <translation>Analog</translation>
    </message>
    <message>
        <source>SPI CS</source>
        <translation>SPI CS</translation>
    </message>
    <message>
        <source>SPI SCK</source>
        <translation>SPI SCK</translation>
    </message>
    <message>
        <source>SPI MISO</source>
        <translation>SPI MISO</translation>
    </message>
    <message>
        <source>Enable effects switch</source>
        <translation>Schalter zum Einschalten der Effekte</translation>
    </message>
    <message>
        <source>Reset center button</source>
        <translation>Taste zum Zurücksetzen der Mitte</translation>
    </message>
    <message>
        <source>Reboot button</source>
        <translation>Neustart-Taste</translation>
    </message>
    <message>
        <source>Braking PWM</source>
        <translation>Brems-PWM</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Inverted</source>
        <translation>Invertiert</translation>
    </message>
    <message>
        <source>%1 (Version %2)</source>
        <translation>%1 (Version %2)</translation>
    </message>
    <message>
        <source>Select compatible device (%1 connected)</source>
        <translation>Kompatibles Gerät auswählen (%1 angeschlossen)</translation>
    </message>
    <message>
        <source>Read again</source>
        <translation>Erneut lesen</translation>
    </message>
    <message>
        <source>Saving settings to the controller&apos;s permanent memory...</source>
        <translation>Einstellungen werden dauerhaft im Controller gespeichert...</translation>
    </message>
    <message>
        <source>Applying settings to the controller...</source>
        <translation>Einstellungen werden im Controller angewendet...</translation>
    </message>
    <message>
        <source>Settings saved to the controller&apos;s permanent memory.</source>
        <translation>Einstellungen dauerhaft im Controller gespeichert.</translation>
    </message>
    <message>
        <source>Settings applied to the controller.</source>
        <translation>Einstellungen im Controller angewendet.</translation>
    </message>
    <message>
        <source>The controller stayed busy: settings were not saved to the controller&apos;s permanent memory.</source>
        <translation>Der Controller blieb beschäftigt: Die Einstellungen wurden nicht dauerhaft im Controller gespeichert.</translation>
    </message>
    <message>
        <source>The controller stayed busy: settings may not have been applied.</source>
        <translation>Der Controller blieb beschäftigt: Die Einstellungen wurden möglicherweise nicht angewendet.</translation>
    </message>
    <message>
        <source>The controller is not connected: settings were not saved to the controller&apos;s permanent memory.</source>
        <translation>Der Controller ist nicht verbunden: Die Einstellungen wurden nicht dauerhaft im Controller gespeichert.</translation>
    </message>
    <message>
        <source>The controller is not connected: settings were not applied.</source>
        <translation>Der Controller ist nicht verbunden: Die Einstellungen wurden nicht angewendet.</translation>
    </message>
    <message>
        <source>While Kestrox Setup runs, its devices are taken from the system: the simulator and Kestrox Vantrell cannot use them until Kestrox Setup is closed.</source>
        <translation>Solange Kestrox Setup läuft, sind seine Geräte dem System entzogen: Der Simulator und Kestrox Vantrell können sie erst wieder nutzen, wenn Kestrox Setup geschlossen ist.</translation>
    </message>
    <message>
        <source>The controller did not take the settings: they were not saved to the controller&apos;s permanent memory.</source>
        <translation>Der Controller hat die Einstellungen nicht übernommen: Sie wurden nicht dauerhaft im Controller gespeichert.</translation>
    </message>
    <message>
        <source>The controller did not take the settings: they were not applied.</source>
        <translation>Der Controller hat die Einstellungen nicht übernommen: Sie wurden nicht angewendet.</translation>
    </message>
    <message>
        <source>Reading the settings from the controller failed.</source>
        <translation>Die Einstellungen konnten nicht vom Controller gelesen werden.</translation>
    </message>
    <message>
        <source>Reading the effects settings from the controller failed.</source>
        <translation>Die Effekteinstellungen konnten nicht vom Controller gelesen werden.</translation>
    </message>
    <message>
        <source>Reading the hardware settings from the controller failed.</source>
        <translation>Die Hardwareeinstellungen konnten nicht vom Controller gelesen werden.</translation>
    </message>
</context>
</TS>
