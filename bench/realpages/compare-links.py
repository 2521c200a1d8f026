#!/usr/bin/env python3
"""Compares the links `quarrow-cli --list` finds on real HTML pages with a reference parser.

The pages come from Debian documentation packages, served from /usr/share on 127.0.0.1.
For each page the reference is Python's html.parser: every src of an img tag and href of
an a tag (first attribute of that name), the first <base href>, urljoin, fragment dropped,
only http(s) addresses whose decoded last segment has an extension. Addresses are compared
after a common percent-encoding, so that "a b" and "a%20b" count as the same address.

  bench/realpages/compare-links.py --cli build/cli/quarrow-cli [--pages-per-package 30]
      [--no-install] [--details FILE]

Installs the documentation packages it uses with apt-get unless --no-install is given; a
package whose installation would remove another package is left out. Not part of make test.
"""
import argparse
import functools
import html.parser
import http.server
import os
import posixpath
import subprocess
import sys
import tempfile
import threading
import urllib.error
import urllib.parse
import urllib.request
from collections import Counter, defaultdict

# Package -> folder under /usr/share/doc holding its HTML pages.
PACKAGES = {
    "python3.11-doc": "python3.11/html",
    "libboost1.74-doc": "libboost1.74-doc",
    "sqlite3-doc": "sqlite3",
    "apache2-doc": "apache2-doc/manual",
    "nodejs-doc": "nodejs/api",
}
INSTALL_NAMES = {"python3.11-doc": "python3-doc"}

# Characters a file type may be written with (the download filter refuses any other).
TYPE_CHARS = set("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789'~`!@#$%&^_+=(){},-[];")
COMMON_TYPES = ["html", "htm", "png", "jpg", "jpeg", "gif", "svg", "css", "js", "txt", "pdf", "zip", "gz",
                "xml", "json", "ico", "cpp", "hpp", "h", "c", "py", "php", "cgi", "txt", "md", "ipp"]


def installed(pkg):
    r = subprocess.run(["dpkg-query", "-W", "-f=${Status}", pkg], capture_output=True, text=True)
    return r.returncode == 0 and "install ok installed" in r.stdout


def ensure_packages(packages):
    usable = []
    for pkg in packages:
        name = INSTALL_NAMES.get(pkg, pkg)
        if installed(pkg):
            usable.append(pkg)
            continue
        sim = subprocess.run(["apt-get", "install", "-s", "--no-install-recommends", name],
                             capture_output=True, text=True)
        if sim.returncode != 0 or any(line.startswith("Remv ") for line in sim.stdout.splitlines()):
            print(f"skipping {name}: installing it would remove other packages", file=sys.stderr)
            continue
        r = subprocess.run(["apt-get", "install", "-y", "--no-install-recommends", name],
                           env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        if r.returncode == 0:
            usable.append(pkg)
    return usable


def pick_pages(folder, count):
    pages = []
    for root, _, files in os.walk(folder, followlinks=True):
        for f in files:
            if f.endswith(".html"):
                pages.append(os.path.join(root, f))
    pages.sort()
    if len(pages) <= count:
        return pages
    step = len(pages) / count
    return [pages[int(i * step)] for i in range(count)]


class Reference(html.parser.HTMLParser):
    def __init__(self, page_url):
        super().__init__(convert_charrefs=True)
        self.base = page_url
        self.base_seen = False
        self.links = []  # (url, raw value, tag)

    def handle_starttag(self, tag, attrs):
        wanted = {"a": "href", "img": "src", "base": "href"}.get(tag)
        if not wanted:
            return
        value = next((v for n, v in attrs if n == wanted), None)
        if value is None:
            return
        if tag == "base":
            if not self.base_seen:
                self.base_seen = True
                self.base = urllib.parse.urljoin(self.base, value.strip())
            return
        url = urllib.parse.urldefrag(urllib.parse.urljoin(self.base, value.strip()))[0]
        self.links.append((url, value, tag))


def name_and_extension(url):
    path = urllib.parse.urlsplit(url).path
    name = urllib.parse.unquote(path.rsplit("/", 1)[-1])
    ext = posixpath.splitext(name)[1][1:]
    return name, ext


def canonical(url):
    s = urllib.parse.urlsplit(url)
    host = (s.hostname or "").lower()
    port = s.port
    default = {"http": 80, "https": 443}.get(s.scheme.lower())
    netloc = host if port in (None, default) else f"{host}:{port}"
    path = urllib.parse.quote(urllib.parse.unquote(s.path or "/"), safe="/!$&'()*+,;=:@~")
    query = urllib.parse.quote(urllib.parse.unquote(s.query), safe="=&+/?:@!$'()*,;~")
    return f"{s.scheme.lower()}://{netloc}{path}" + (f"?{query}" if s.query or url.endswith("?") else "")


def collapse_empty_segments(url):
    scheme, rest = url.split("://", 1)
    while "//" in rest:
        rest = rest.replace("//", "/")
    return scheme + "://" + rest


def reference_links(body, page_url):
    parser = Reference(page_url)
    parser.feed(body)
    parser.close()
    out = {}
    for url, value, tag in parser.links:
        if urllib.parse.urlsplit(url).scheme.lower() not in ("http", "https"):
            continue
        name, ext = name_and_extension(url)
        if not ext:
            continue
        out.setdefault(canonical(url), (url, value, ext, tag))
    return out


def quarrow_links(cli, page_url, types, home):
    env = dict(os.environ, HOME=home, XDG_DATA_HOME=home + "/.local/share", XDG_CONFIG_HOME=home + "/.config")
    r = subprocess.run([cli, "--list", "-t", ",".join(sorted(types)), page_url], capture_output=True, env=env)
    if r.returncode != 0:
        raise RuntimeError(f"quarrow-cli failed on {page_url}: {r.stderr.decode(errors='replace')}")
    out = {}
    for line in r.stdout.decode("utf-8", errors="replace").splitlines():
        _, _, url, name = line.split("\t", 3)
        out.setdefault(canonical(url), (url, name))
    return out


@functools.lru_cache(maxsize=None)
def exists(url):
    # Only the local server is asked; another host counts as absent.
    if urllib.parse.urlsplit(url).hostname != "127.0.0.1":
        return False
    try:
        with urllib.request.urlopen(urllib.request.Request(url, method="HEAD"), timeout=10) as r:
            return r.status < 400
    except urllib.error.HTTPError:
        return False
    except (urllib.error.URLError, OSError, ValueError):
        return False


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--cli", default="build/cli/quarrow-cli")
    ap.add_argument("--pages-per-package", type=int, default=30)
    ap.add_argument("--no-install", action="store_true")
    ap.add_argument("--details", help="write every difference to this file")
    args = ap.parse_args()

    packages = [p for p in PACKAGES if installed(p)] if args.no_install else ensure_packages(PACKAGES)
    if not packages:
        sys.exit("no documentation package available")

    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory="/usr/share")
    http.server.SimpleHTTPRequestHandler.log_message = lambda *a: None
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    root = f"http://127.0.0.1:{server.server_address[1]}"

    rows = []
    classes = Counter()
    details = []
    order_differs = 0
    with tempfile.TemporaryDirectory() as home:
        for pkg in packages:
            folder = os.path.join("/usr/share/doc", PACKAGES[pkg])
            totals = Counter()
            for path in pick_pages(folder, args.pages_per_package):
                page_url = root + urllib.parse.quote("/" + os.path.relpath(path, "/usr/share"))
                with open(path, "rb") as f:
                    body = f.read().decode("utf-8", errors="replace")
                ref = reference_links(body, page_url)
                # A type the filter cannot name cannot be asked for; such links are counted apart.
                unnamed = {k for k, (_, _, ext, _) in ref.items() if not set(ext) <= TYPE_CHARS}
                for k in unnamed:
                    classes["reference: extension no file type can name"] += 1
                    details.append(f"{page_url}\tunnamed\t{ref[k][0]}\t{ref[k][1]!r}")
                ref = {k: v for k, v in ref.items() if k not in unnamed}
                types = {v[2].lower() for v in ref.values()} | set(COMMON_TYPES)
                got = quarrow_links(args.cli, page_url, types, home)

                matched = ref.keys() & got.keys()
                misses = ref.keys() - got.keys()
                extras = got.keys() - ref.keys()
                ref_order = [k for k in ref if k in matched]
                got_order = [k for k in got if k in matched]
                order_differs += ref_order != got_order
                totals.update(pages=1, reference=len(ref), matched=len(matched), misses=len(misses),
                              extras=len(extras), images=sum(1 for v in ref.values() if v[3] == "img"),
                              images_matched=sum(1 for k in matched if ref[k][3] == "img"))
                # An empty path segment ("a//b.png"): urljoin drops it, browsers keep it.
                collapsed = {collapse_empty_segments(k): k for k in extras}
                for k in misses:
                    if collapse_empty_segments(k) in collapsed:
                        classes["miss + extra: the reference drops an empty path segment (a//b)"] += 1
                for k in sorted(misses):
                    url, value, _, _ = ref[k]
                    on_server = exists(url)
                    classes["miss, " + ("on the server" if on_server else "not on the server")] += 1
                    details.append(f"{page_url}\tmiss\t{url}\t{value!r}\t{'exists' if on_server else '404'}")
                for k in sorted(extras):
                    url, name = got[k]
                    on_server = exists(url)
                    totals.update(extras_missing=0 if on_server else 1)
                    classes["extra, " + ("on the server" if on_server else "NOT on the server")] += 1
                    details.append(f"{page_url}\textra\t{url}\t{name}\t{'exists' if on_server else '404'}")
                for k in sorted(matched):
                    if got[k][0] != ref[k][0]:
                        classes["match written with other percent-encoding"] += 1
                        details.append(f"{page_url}\tencoding\t{got[k][0]}\t{ref[k][0]}")
            rows.append((pkg, totals))
    server.shutdown()

    print("| package | pages | reference addresses | matches | misses | extras | extras not on server | images matched |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|")
    grand = Counter()
    for pkg, t in rows:
        grand.update(t)
        print(f"| {pkg} | {t['pages']} | {t['reference']} | {t['matched']} | {t['misses']} | {t['extras']} | "
              f"{t['extras_missing']} | {t['images_matched']} of {t['images']} |")
    share = 100.0 * grand["matched"] / grand["reference"] if grand["reference"] else 100.0
    print(f"| all | {grand['pages']} | {grand['reference']} | {grand['matched']} ({share:.2f} %) | "
          f"{grand['misses']} | {grand['extras']} | {grand['extras_missing']} | "
          f"{grand['images_matched']} of {grand['images']} |")
    print()
    print(f"pages whose common links come in another order: {order_differs}")
    for name, n in classes.most_common():
        print(f"{name}: {n}")
    if args.details:
        with open(args.details, "w") as f:
            f.write("\n".join(details) + "\n")


if __name__ == "__main__":
    main()
