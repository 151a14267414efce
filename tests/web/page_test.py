#!/usr/bin/python3
"""meridiald's web page in headless Chromium against the service and virtual signs.
page_test.py MERIDIALD MERIDIAL_SIGN OUT_DIR: screenshots into OUT_DIR, figures printed; 77 when
chromium, chromedriver or selenium is missing."""
import json, os, shutil, sys, time, urllib.request

try:
    from selenium import webdriver
    from selenium.common.exceptions import NoAlertPresentException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    sys.exit(77)
CHROMEDRIVER = shutil.which("chromedriver")
if not CHROMEDRIVER or not (shutil.which("chromium") or shutil.which("chromium-browser")):
    sys.exit(77)

DAEMON, SIGN, OUT = sys.argv[1:4]
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from service import Rig, bodies, wait  # noqa: E402
rig = Rig(DAEMON, SIGN)

def browser():
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--window-size=1280,900"):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)

def card(driver, name):
    return driver.find_element(By.CSS_SELECTOR, f'#signs li[aria-label="{name}"]')

def field(driver, name, label):
    """The text of one of a sign's rows (State, Shows, Next)."""
    return card(driver, name).find_element(By.XPATH, f'.//dt[.="{label}"]/following-sibling::dd[1]').text

def pictures_shown(driver):
    return driver.execute_script(
        "return [...document.querySelectorAll('#signs img')].every("
        "i => i.src.startsWith('blob:') && i.complete && i.naturalWidth > 0)")

def screenshot(driver, width, path):
    driver.set_window_size(width, 900)
    height = driver.execute_script("return document.documentElement.scrollHeight")
    driver.set_window_size(width, height + 140)  # the window's frame, in headless mode too
    time.sleep(0.3)
    driver.save_screenshot(path)

def main():
    lobby_device, lobby_log = rig.virtual_sign("lobby")
    hall_device, hall_log = rig.virtual_sign("hall")
    hostile = "<script>alert(1)</script>"
    port, token, daemon, _ = rig.start_daemon([("lobby", lobby_device, "floor1", "Welcome"),
                                        ("hall", hall_device, "floor1,lobbies", hostile)])
    base = f"http://127.0.0.1:{port}"
    wait(lambda: bodies(lobby_log) == ["Welcome"] and bodies(hall_log) == [hostile], 15,
         "the signs did not get their own messages")

    driver = browser()
    try:
        driver.get(base + "/")
        # A wrong token: a clear error, and the field asked for again.
        driver.find_element(By.ID, "token").send_keys("not-the-token\n")
        wait(lambda: "refused" in driver.find_element(By.ID, "login-error").text, 10,
             "no error for a wrong token")
        assert driver.find_element(By.ID, "login").is_displayed()
        driver.find_element(By.ID, "token").send_keys(token + "\n")
        wait(lambda: len(driver.find_elements(By.CSS_SELECTOR, "#signs li")) == 2, 10,
             "the two signs are not shown")
        wait(lambda: field(driver, "hall", "State").startswith("acknowledged"), 10,
             "hall is not shown acknowledged")
        # The hostile text is shown as it is, and nothing ran.
        assert field(driver, "hall", "Shows").startswith(hostile), field(driver, "hall", "Shows")
        assert not driver.find_elements(By.CSS_SELECTOR, "main script")
        try:
            driver.switch_to.alert
            raise AssertionError("the page ran a sign's text")
        except NoAlertPresentException:
            pass
        wait(lambda: pictures_shown(driver), 10, "the pictures are not shown")

        # 151 characters: refused in the page, nothing sent.
        message = driver.find_element(By.ID, "message")
        message.send_keys("x" * 151)
        wait(lambda: "151" in driver.find_element(By.ID, "message-error").text, 5,
             "no error for 151 characters")
        assert not driver.find_element(By.ID, "send").is_enabled()
        driver.execute_script("document.getElementById('notice').requestSubmit()")
        time.sleep(0.5)
        assert api(base, token, "/api/notices")["notices"] == []

        # A notice to lobby: the sign gets it, the page shows it acknowledged, then it ends.
        message.clear()
        message.send_keys("Fire drill")
        Select(driver.find_element(By.ID, "target")).select_by_value("lobby")
        Select(driver.find_element(By.ID, "duration")).select_by_value("15m")
        wait(lambda: driver.find_element(By.ID, "send").is_enabled(), 5, "the check never passed")
        before = card(driver, "lobby").find_element(By.TAG_NAME, "img").get_attribute("src")
        driver.find_element(By.ID, "send").click()
        wait(lambda: bodies(lobby_log)[-1] == "Fire drill", 10, "the notice did not reach lobby")
        wait(lambda: field(driver, "lobby", "Shows").startswith("Fire drill (notice"), 10,
             "lobby does not show the notice")
        assert field(driver, "lobby", "State").startswith("acknowledged")
        assert bodies(hall_log) == [hostile]
        wait(lambda: card(driver, "lobby").find_element(By.TAG_NAME, "img").get_attribute("src")
             != before and pictures_shown(driver), 10, "lobby's picture was not fetched again")
        assert "Fire drill" in driver.find_element(By.ID, "notices").text

        screenshot(driver, 1280, os.path.join(OUT, "page-1280.png"))
        screenshot(driver, 390, os.path.join(OUT, "page-390.png"))

        driver.find_element(By.CSS_SELECTOR, "#notices button").click()
        wait(lambda: bodies(lobby_log)[-1] == "Welcome", 10, "lobby did not go back")
        wait(lambda: field(driver, "lobby", "Shows").startswith("Welcome"), 10,
             "the page does not show lobby back")
        assert not driver.find_elements(By.CSS_SELECTOR, "#notices li")

        # The figures with 32 signs, sharing the two lines, under a service of their own.
        daemon.terminate()
        daemon.wait(10)
        port, token, _, _ = rig.start_daemon([(f"s{i:02}", (lobby_device, hall_device)[i % 2],
                                        f"row{i // 8}", f"Sign {i}") for i in range(32)])
        figures(driver, f"http://127.0.0.1:{port}", token)
    finally:
        driver.quit()

def api(base, token, path):
    request = urllib.request.Request(base + path, headers={"Authorization": "Bearer " + token})
    return json.load(urllib.request.urlopen(request))

def figures(driver, base, token):
    size = sum(len(urllib.request.urlopen(base + p).read()) for p in ("/", "/app.js", "/style.css"))
    print(f"figure: the page's files: {size} bytes (goal 61440)")
    driver.set_window_size(1280, 900)
    driver.get(base + "/")
    driver.find_element(By.ID, "token").send_keys(token + "\n")
    wait(lambda: pictures_shown(driver), 10, "the pictures are not shown")
    # The token stays in the tab's session storage: a reload goes straight to the signs.
    driver.refresh()
    wait(lambda: driver.execute_script(
        "return performance.getEntriesByName('meridial-pictures-shown').length"), 10,
        "the pictures are not shown after a reload: " + driver.find_element(By.ID, "problem").text)
    ms = driver.execute_script(
        "return performance.getEntriesByName('meridial-pictures-shown')[0].startTime")
    count = len(driver.find_elements(By.CSS_SELECTOR, "#signs img"))
    print(f"figure: page load to all {count} pictures shown: {ms:.0f} ms")

if __name__ == "__main__":
    rig.run(main, "page test")
