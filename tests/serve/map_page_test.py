"""The map page of `zentrel serve` in headless Chromium: a click on Rome shows the estimate, whose
January temperature equals `zentrel estimate`, the climate chart and the neighbours on the map;
a typed coordinate with Enter does the same. Screenshots at 1366x768 and 390x844 go to
$SERVE_SHOTS (default: the temporary folder). Exit 77 (skipped), naming what is missing, where
Chromium, its driver, Selenium or Leaflet is missing (apt install chromium chromium-driver
python3-selenium libjs-leaflet)."""
import os
import shutil
import subprocess
import sys
import tempfile

from server import Server

ZENTREL_BIN = os.environ.get("ZENTREL_BIN", "")
SHOTS = os.environ.get("SERVE_SHOTS", tempfile.gettempdir())


def skip(reason):
    print("SKIP:", reason)
    sys.exit(77)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service as ChromeService
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed")
chromium = shutil.which("chromium")
driver_path = shutil.which("chromedriver")
if not chromium or not driver_path:
    skip("chromium or chromium-driver is not installed")
if not os.path.isfile("/usr/share/javascript/leaflet/leaflet.js"):
    skip("libjs-leaflet is not installed (the page's map library)")
if not ZENTREL_BIN:
    skip("ZENTREL_BIN names no zentrel program")


def cli_january(lon, lat):
    out = subprocess.run([ZENTREL_BIN, "estimate", "--lon", lon, "--lat", lat, "--var", "Temp"], capture_output=True,
                         text=True, check=True).stdout
    row = [line for line in out.splitlines() if line.startswith("January")][0]
    return row.split()[1]


def browser(width, height):
    options = webdriver.ChromeOptions()
    options.binary_location = chromium
    for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", f"--window-size={width},{height}"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=ChromeService(executable_path=driver_path), options=options)
    # A window is at least 500 pixels wide: a phone's screen is emulated instead.
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 500})
    return driver


def wait_for_table(driver):
    WebDriverWait(driver, 60).until(lambda d: d.find_elements(By.CSS_SELECTOR, "#months td[data-var=Temp]"))


def check_result(driver, failures, what):
    lon = driver.find_element(By.ID, "lon").get_attribute("value")
    lat = driver.find_element(By.ID, "lat").get_attribute("value")
    january = driver.find_element(By.CSS_SELECTOR, "#months tbody tr td[data-var=Temp]").text
    expected = cli_january(lon, lat)
    if january != expected:
        failures.append(f"{what}: January Temp on the page {january}, zentrel estimate at {lon},{lat} says {expected}")
    if not driver.find_elements(By.CSS_SELECTOR, "#chart polyline.temp-line"):
        failures.append(f"{what}: the chart has no temperature line")
    if len(driver.find_elements(By.CSS_SELECTOR, "#chart rect.prec-bar")) != 12:
        failures.append(f"{what}: the chart has not twelve precipitation bars")
    if not driver.find_elements(By.CSS_SELECTOR, "#neighbours tbody tr"):
        failures.append(f"{what}: no neighbours listed")
    markers = driver.execute_script("return neighbourLayer.getLayers().length")
    if not markers:
        failures.append(f"{what}: no neighbours on the map")
    return lon, lat


def main():
    server = Server(ZENTREL_BIN, "--threads", "2")
    failures = []
    try:
        driver = browser(1366, 768)
        try:
            driver.get(server.url)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script("return typeof map !== 'undefined'"))
            # Rome in the middle of the map, close enough that the click lands on 12.48 E, 41.9 N.
            driver.execute_script("map.setView([41.9, 12.48], 9, {animate: false})")
            element = driver.find_element(By.ID, "map")
            point = driver.execute_script("const p = map.latLngToContainerPoint([41.9, 12.48]); return [p.x, p.y]")
            size = element.size
            ActionChains(driver).move_to_element_with_offset(element, point[0] - size["width"] / 2,
                                                             point[1] - size["height"] / 2).click().perform()
            wait_for_table(driver)
            lon, lat = check_result(driver, failures, "click on Rome")
            if abs(float(lon) - 12.48) > 0.011 or abs(float(lat) - 41.9) > 0.011:
                failures.append(f"the click on Rome gave {lon},{lat}")
            driver.execute_script("map.setView([41.9, 12.48], 5, {animate: false})")
            driver.save_screenshot(os.path.join(SHOTS, "serve-rome-1366x768.png"))

            # The keyboard: a typed coordinate and Enter.
            for field, value in (("lon", "2.35"), ("lat", "48.85")):
                box = driver.find_element(By.ID, field)
                box.clear()
                box.send_keys(value)
            box.send_keys(Keys.ENTER)
            WebDriverWait(driver, 60).until(lambda d: "48.85" in d.find_element(By.ID, "status").text)
            wait_for_table(driver)
            check_result(driver, failures, "typed Paris")
        finally:
            driver.quit()
        driver = browser(390, 844)
        try:
            driver.get(server.url)
            WebDriverWait(driver, 30).until(lambda d: d.execute_script("return typeof map !== 'undefined'"))
            for field, value in (("lon", "12.48"), ("lat", "41.9")):
                driver.find_element(By.ID, field).send_keys(value)
            driver.find_element(By.ID, "lat").send_keys(Keys.ENTER)
            wait_for_table(driver)
            check_result(driver, failures, "phone")
            width = driver.execute_script("return document.documentElement.scrollWidth")
            if width > 390:
                failures.append(f"the phone-sized page is {width} px wide")
            driver.save_screenshot(os.path.join(SHOTS, "serve-rome-390x844.png"))
            driver.execute_script("document.getElementById('result').scrollIntoView()")
            driver.save_screenshot(os.path.join(SHOTS, "serve-rome-390x844-result.png"))
        finally:
            driver.quit()
    finally:
        server.stop()
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
