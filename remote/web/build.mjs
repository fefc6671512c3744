// Bundles the page into three files that tolvar.exe carries: index.html,
// app.js and app.css, written to the folder given (default dist/).
import { build } from "esbuild";
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2] || join(here, "dist");
mkdirSync(out, { recursive: true });
await build({
  entryPoints: [join(here, "src", "main.js")],
  bundle: true,
  minify: true,
  format: "iife",
  target: ["chrome100", "safari15", "firefox100"],
  legalComments: "eof",
  outfile: join(out, "app.js"),
  logLevel: "warning",
});
const css = [join(here, "node_modules/@xterm/xterm/css/xterm.css"), join(here, "src/style.css")]
  .map((f) => readFileSync(f, "utf8"))
  .join("\n");
writeFileSync(join(out, "app.css"), css);
copyFileSync(join(here, "index.html"), join(out, "index.html"));
