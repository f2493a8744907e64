// The help text: how to use the program, with a table of contents and an index.
#include "shell/help_content.h"

namespace zentrel::gui {

QString helpHtml() {
    return QStringLiteral(R"HTML(<html><head><title>Zentrel Help</title></head><body>
<h1><a name="contents"></a>Zentrel Help</h1>
<p>Zentrel estimates the long-term mean monthly climate of any point on the Earth's land surface
from a world database of climate stations.</p>
<h3>Contents</h3>
<ol>
<li><a href="#overview">What Zentrel does</a></li>
<li><a href="#start">Starting the program</a></li>
<li><a href="#statusline">The main window and the status line</a></li>
<li><a href="#location">Setting the location</a></li>
<li><a href="#coordinates">Degrees, minutes and seconds</a></li>
<li><a href="#settings">Settings</a></li>
<li><a href="#view">Viewing the estimate</a></li>
<li><a href="#workbench">The WorkBench</a></li>
<li><a href="#formats">Output formats</a></li>
<li><a href="#save">Saving and printing</a></li>
<li><a href="#batch">Many locations: grids and files</a></li>
<li><a href="#maps">Maps</a></li>
<li><a href="#windows">Arranging windows</a></li>
<li><a href="#warnings">Warnings</a></li>
<li><a href="#data">The data folder</a></li>
<li><a href="#index">Index</a></li>
</ol>

<h2><a name="overview"></a>1. What Zentrel does</h2>
<p>For a location given by longitude, latitude and altitude, Zentrel estimates eight climate
variables for each month and for the year:</p>
<table border="1" cellpadding="3" cellspacing="0" width="100%">
<tr><th>Variable</th><th>Meaning</th><th>Unit</th></tr>
<tr><td>Temp</td><td>monthly mean temperature</td><td>&deg;C</td></tr>
<tr><td>Tmax</td><td>mean daily maximum temperature</td><td>&deg;C</td></tr>
<tr><td>Tmin</td><td>mean daily minimum temperature</td><td>&deg;C</td></tr>
<tr><td>Prec</td><td>monthly precipitation total</td><td>mm</td></tr>
<tr><td>Vap</td><td>water vapour pressure</td><td>hPa</td></tr>
<tr><td>PET</td><td>monthly potential evapotranspiration</td><td>mm</td></tr>
<tr><td>Wind</td><td>wind speed</td><td>m/s</td></tr>
<tr><td>Sun</td><td>sunshine fraction</td><td>0 to 1</td></tr>
</table>
<p>For each variable it selects up to 20 neighbouring stations by distance and altitude,
averages their long-term monthly means weighted by inverse distance, corrects the result for the
difference in altitude, for horizontal climate gradients and for neighbours that lie on one side
only ("shadow" correction), and estimates the standard error and the bias of the estimate by
leaving out one station at a time. From the twelve monthly values it derives dekadal and daily
cycles, the days reaching temperature thresholds and the growing seasons of the year.</p>

<h2><a name="start"></a>2. Starting the program</h2>
<p>The program opens with an introduction window. Click its text to go on to the main window.
Nothing is stored between runs: every start begins with the default settings, the output format
"Zentrel Format" and the location "East of Rome" (longitude 13.01, latitude 41.99, altitude 17 m).</p>
<p>The program reads its data from the data folder (see <a href="#data">The data folder</a>).
Start it with <code>zentrel-gui --data FOLDER</code> to use another data folder.</p>

<h2><a name="statusline"></a>3. The main window and the status line</h2>
<p>All commands are in the menus <b>Files</b>, <b>Locations</b>, <b>View</b>, <b>Output Formats</b>,
<b>Options</b>, <b>Window</b> and <b>Help</b>; the most used ones are also on the toolbar. The
buttons "Save Data", "Print Data" and "Set the Output Format" open a small menu of their own.</p>
<p>The status line has four panels:</p>
<ol>
<li>a short description of the menu item under the mouse;</li>
<li>the chosen output format;</li>
<li>the current location: longitude, latitude (decimal degrees, east and north positive) and altitude (m);</li>
<li>the name of the current location.</li>
</ol>
<p>Longitude and latitude are rounded to two decimals and the altitude to whole metres when a
location is set. A location without a name is named after its position, for example
"ST-Lon13.01-Lat41.99-Alt-17".</p>
<p><b>Files / Exit</b> ends the program after asking "Really end Application?". Nothing is saved.</p>

<h2><a name="location"></a>4. Setting the location</h2>
<p><b>Locations / Set Location</b> opens the window "Choose Location". Type a name, the longitude
and the latitude as decimal numbers (west and south negative). While you type the coordinates,
the altitude box shows the terrain altitude of the point from the elevation raster; you can
overwrite it. The altitude must lie between -350 m and 8848 m; below 0 m you are asked to confirm.</p>
<ul>
<li><b>OK</b> makes the point the current location. Longitudes outside -180 to 180 and latitudes
outside -90 to 90 are refused. North of 70&deg; N or south of 70&deg; S you are asked whether you
want to continue, as the station network is thin in the polar regions.</li>
<li><b>Save</b> does the same and then opens the output window, so that the estimate for the new
location can be saved at once.</li>
<li><b>Cancel</b> leaves the current location as it was.</li>
</ul>
<p>Press Enter to move from one box to the next. A new location marks the estimate windows
out of date: they compute again the next time they are shown.</p>

<h2><a name="coordinates"></a>5. Degrees, minutes and seconds</h2>
<p><b>Options / Coordinate Transformation</b> opens the window "Transformation of Coordinates". It
shows the current location in decimal degrees and in degrees, minutes and seconds with the
hemisphere letters E or W and N or S. Change either form and the other follows at once:</p>
<ul>
<li>decimal to degrees, minutes and seconds: the parts are cut off, never rounded (12.483 gives
12&deg; 28' 58", not 59");</li>
<li>degrees, minutes and seconds to decimal: rounded to three decimals; W and S give negative values.</li>
</ul>
<p>Only digits can be typed in the degree, minute and second boxes, only E or W and N or S in
the hemisphere boxes. <b>OK</b> makes the point the current location; its altitude is taken from the
elevation raster and its name is made from its position.</p>

<h2><a name="settings"></a>6. Settings</h2>
<p><b>Options / Change Settings</b> opens the settings. They hold for every estimate until you change
them again or end the program.</p>
<table border="1" cellpadding="3" cellspacing="0" width="100%">
<tr><th>Setting</th><th>Default</th><th>Allowed</th><th>Meaning</th></tr>
<tr><td>Maximum Distance in km</td><td>1000</td><td>more than 0, at most 22000</td><td>stations farther away are not used</td></tr>
<tr><td>Maximum number of stations</td><td>20</td><td>1 to 20</td><td>number of neighbours</td></tr>
<tr><td>Power Exponent</td><td>1</td><td>0 to 5</td><td>weight of a station = 1 / distance<sup>power</sup>; 0 gives a plain average</td></tr>
<tr><td>Nearest Neighbor Approx. if Min. Dist &lt; ... km.</td><td>0.1</td><td>at least 0.1</td><td>a station closer than this gives its own values</td></tr>
<tr><td>Neighbors must provide Altitude</td><td>off</td><td></td><td>only stations with an altitude between the two limits are used; switch it on to edit the limits</td></tr>
<tr><td>Only Stations higher than / lower than</td><td>-350 / 8848</td><td></td><td>altitude limits in m</td></tr>
<tr><td>Apply Local Linear Altitude Correction</td><td>on</td><td></td><td>corrects for the altitude difference between the location and its neighbours</td></tr>
<tr><td>Apply Climate Gradient Correction</td><td>on</td><td></td><td>corrects for horizontal gradients of the climate</td></tr>
<tr><td>Shadow Correction Coefficient</td><td>1</td><td>0 to 1</td><td>0 no correction, 1 full correction of neighbours that hide behind others</td></tr>
<tr><td>Estimation Method</td><td>Kriging</td><td>Kriging, Adaptive, Robust, Described (the classic method)</td><td>Robust draws the altitude slope towards a typical lapse rate, damps horizontal gradients and keeps values within physical bounds; Adaptive lets each location blend estimators (altitude slope, gradient plane, neighbours of similar altitude, ratio scale for totals) by how well they predict its neighbours, and warns of strange data only where all months and neighbours together make it unlikely by chance; Kriging weighs the neighbours by kriging (nearer and more alike in altitude and distance from the sea weigh more) and corrects for terrain (altitude, surrounding relief, distance from the sea) with coefficients fitted on the whole database</td></tr>
</table>
<p>A value that cannot be used is reported when you press <b>OK</b> and the window stays open.
<b>Cancel</b> shows the settings in force again.</p>

<h2><a name="view"></a>7. Viewing the estimate</h2>
<p><b>View / View Data</b> shows the estimate of all eight variables at the current location: graphs,
the table of estimates with their errors, the neighbouring stations, their observations and the
warnings. The estimate runs when the window is shown after the location or the settings have
changed. While it runs, "View Data" and "WorkBench" answer "Zentrel Busy".</p>

<h2><a name="workbench"></a>8. The WorkBench</h2>
<p><b>View / WorkBench</b> shows the estimate of one variable with its neighbours. You can switch
single neighbours off and on and see at once how the estimate, the altitude regression and the
errors change.</p>

<h2><a name="formats"></a>9. Output formats</h2>
<p>The menu <b>Output Formats</b> (or the toolbar button "Set the Output Format") chooses the format in
which results are saved and printed; panel 2 of the status line shows it.</p>
<ul>
<li><b>Zentrel Format</b>: the program's own result report (.zte).</li>
<li><b>Standard Orvane Format</b>: the station table of the Orvane climate database.</li>
<li><b>LGS / Input</b>: rainfall and potential evapotranspiration for the LGS growing-season tool.</li>
<li><b>LGS / Output</b>: growing seasons as the LGS tool writes them.</li>
<li><b>Vesk</b>: the element-coded Vesk format.</li>
<li><b>Rastell</b>: raster images for a map display program (written from the raster map window).</li>
<li><b>Plantow</b>: the crop-water files of Plantow.</li>
</ul>

<h2><a name="save"></a>10. Saving and printing</h2>
<p><b>Files / Save</b> and <b>Files / Print</b> open the output window of the single-location estimate
("View Data") or of the WorkBench. Tick the variables and the quantities you want, choose the
confidence level (90, 95 or 99 %) and press Save or Print. <b>Files / Printer  Setup</b> chooses paper
and orientation.</p>

<h2><a name="batch"></a>11. Many locations: grids and files</h2>
<p><b>Locations / Set Locations from Grid</b> defines a regular grid of locations;
<b>Locations / Set Locations from File</b> reads a file of locations (two to four comma-separated fields
per line: longitude, latitude, altitude, name). <b>Files / Save / Grid or File</b> runs the estimate for
every location of the list and writes the results in the chosen output format.</p>

<h2><a name="maps"></a>12. Maps</h2>
<p><b>Locations / Set Location from Bitmap</b> shows a world map on which a click sets the location.
<b>Locations / Set Location from Raster Map</b> shows raster maps with boundaries and capitals; there you
can also pick a rectangle and export an estimated variable over it as a raster image.</p>

<h2><a name="windows"></a>13. Arranging windows</h2>
<p>The menu <b>Window</b> arranges the open windows: <b>Cascade</b> overlaps them, <b>Tile Horizontal</b>
places them one above the other and <b>Tile Vertical</b> side by side.</p>

<h2><a name="warnings"></a>14. Warnings</h2>
<p>An estimate carries warnings where it should not be trusted: the location lies higher or lower than
all its neighbours (extrapolation), it lies apart from its neighbours, two stations share one position,
a station shows strange data, too few stations take part, or a station lies within 100 m of the location.</p>

<h2><a name="data"></a>15. The data folder</h2>
<p>The station files, the elevation raster "10k8b.raw" and the maps are read from the folder
<code>ZentrelData</code> beside the program. Another folder can be named with
<code>--data FOLDER</code> on the command line or with the environment variable
<code>ZENTREL_DATA</code>. The default folder holds real station normals; a variable the folder
holds no stations of (Wind, in a folder imported from CLIMAT reports alone) is skipped and said
once. Help &gt; About, page "About the data", describes the folder in use: source, period,
stations per variable and per source, terms of use, extent and how it was built. The
WorkBench's station table names the source and period of each neighbour ("-" where the folder
does not say). The folder <code>DemoData</code> beside the program holds a demonstration database
of 20000 stations: when the folder in use holds demonstration data, the title bar of the main window
says so: such estimates show how the program works but are not real climate values.</p>

<h2><a name="index"></a>Index</h2>
<table cellpadding="2">
<tr><td><a href="#statusline">Altitude (status line)</a></td><td><a href="#settings">Altitude limits</a></td></tr>
<tr><td><a href="#settings">Altitude correction</a></td><td><a href="#batch">Batch run</a></td></tr>
<tr><td><a href="#windows">Cascade</a></td><td><a href="#coordinates">Coordinate Transformation</a></td></tr>
<tr><td><a href="#data">Data folder</a></td><td><a href="#coordinates">Degrees, minutes, seconds</a></td></tr>
<tr><td><a href="#data">Demonstration data</a></td><td><a href="#location">Elevation</a></td></tr>
<tr><td><a href="#statusline">Exit</a></td><td><a href="#batch">File of locations</a></td></tr>
<tr><td><a href="#settings">Gradient correction</a></td><td><a href="#batch">Grid</a></td></tr>
<tr><td><a href="#location">Location</a></td><td><a href="#maps">Map</a></td></tr>
<tr><td><a href="#settings">Maximum Distance</a></td><td><a href="#settings">Maximum number of stations</a></td></tr>
<tr><td><a href="#settings">Minimum Distance</a></td><td><a href="#formats">Output formats</a></td></tr>
<tr><td><a href="#location">Polar region</a></td><td><a href="#settings">Power Exponent</a></td></tr>
<tr><td><a href="#save">Print</a></td><td><a href="#save">Printer Setup</a></td></tr>
<tr><td><a href="#maps">Raster export</a></td><td><a href="#settings">Robust corrections</a></td></tr>
<tr><td><a href="#save">Save</a></td><td><a href="#settings">Settings</a></td></tr>
<tr><td><a href="#settings">Shadow correction</a></td><td><a href="#statusline">Status line</a></td></tr>
<tr><td><a href="#windows">Tile</a></td><td><a href="#overview">Variables</a></td></tr>
<tr><td><a href="#view">View Data</a></td><td><a href="#warnings">Warnings</a></td></tr>
<tr><td><a href="#workbench">WorkBench</a></td><td><a href="#view">Zentrel Busy</a></td></tr>
</table>
<p><a href="#contents">Back to the contents</a></p>
</body></html>)HTML");
}

}  // namespace zentrel::gui
