"use strict";
// The viewer's page: the controls, the deformed shape, diagrams, colours, picking and the
// numbers of what is picked. window.velm exposes what a test drives: project(point) gives the
// client position of a model point, memberMidpoint(id) and nodePoint(id) model points,
// offsetAt(id, j) the drawn displacement (unscaled, global) of station j of member id,
// checksum() the hash and lit pixel count of the rendered picture, spin(seconds) the frame rate
// of a turning view.
const KN = 1000, MM = 1000;
const fmt = (v) => (Number.isFinite(v) ? String(Number(v.toPrecision(4))) : "-");
// A table cell of value v (in N, m) shown in `unit`; `tiny`, a billionth of the largest such
// quantity of the result set, and less shows as 0 (what is left of a cancellation).
const cell = (v, unit, tiny) => `<td data-value="${v}">${Math.abs(v) <= tiny ? "0" : fmt(v / unit)}</td>`;
const NAMES = ["N", "Vy", "Vz", "T", "My", "Mz"];
const escape = (text) => String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");

async function main() {
  const data = JSON.parse($("velm-data").textContent);
  const model = new Model(data, await inflate(data.binary));
  const { M, N, S } = model;
  const canvas = $("view");
  // A large model is drawn without multisampling, through fewer stations (at most about 150,000
  // segments for the deformed shape and per diagram; the numbers shown are exact regardless),
  // and without its loads until asked for, so that it turns smoothly.
  const large = M > 5000;
  const G = Math.min(S - 1, Math.max(2, Math.floor(150000 / M)));
  const drawn = Array.from({ length: G + 1 }, (_, k) => Math.round(k * (S - 1) / G));
  if (M > 2000) $("loads").checked = false;
  const renderer = new THREE.WebGLRenderer({ canvas, antialias: !large, preserveDrawingBuffer: true });
  renderer.setClearColor(0xffffff);
  const scene = new THREE.Scene(), root = new THREE.Group();
  if (data.up === "Y") root.rotation.x = Math.PI / 2;
  scene.add(root);
  root.updateMatrixWorld(true);
  const camera = new THREE.PerspectiveCamera(35, 1, 0.1, 1000);
  let dirty = true, animate = false, spinning = false, frames = 0, moved = -Infinity, coarse = false;
  const orbit = new Orbit(camera, canvas, model, () => { dirty = true; moved = performance.now(); });
  const resize = () => {
    renderer.setPixelRatio(window.devicePixelRatio || 1);
    renderer.setSize(window.innerWidth, window.innerHeight, false);
    camera.aspect = window.innerWidth / Math.max(window.innerHeight, 1);
    orbit.update();
  };
  window.addEventListener("resize", resize);
  $("title").textContent = data.title;

  // Members: their chords, and the deformed shape (G segments each) moved on the GPU by
  // scale times the stations' offsets.
  const chords = new Float32Array(6 * M), grey = new Float32Array(6 * M).fill(0.6);
  for (let m = 0; m < M; m++) { model.along(m, 0, chords, 6 * m); model.along(m, 1, chords, 6 * m + 3); }
  const undeformed = segments(chords, grey);
  const vertices = 2 * G * M;
  const position = new Float32Array(3 * vertices), offset = new Float32Array(3 * vertices);
  const tint = new Float32Array(3 * vertices), point = new Float32Array(3 * S);
  for (let m = 0, v = 0; m < M; m++) {
    for (let k = 0; k < G; k++, v += 2) {
      model.along(m, drawn[k] / (S - 1), position, 3 * v);
      model.along(m, drawn[k + 1] / (S - 1), position, 3 * v + 3);
    }
  }
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute("position", new THREE.BufferAttribute(position, 3));
  geometry.setAttribute("offset", new THREE.BufferAttribute(offset, 3));
  geometry.setAttribute("tint", new THREE.BufferAttribute(tint, 3));
  const uniforms = { scale: { value: 0 } };
  const deformed = new THREE.LineSegments(geometry, new THREE.ShaderMaterial({
    uniforms,
    vertexShader: "attribute vec3 offset; attribute vec3 tint; uniform float scale; varying vec3 c;\n" +
      "void main() { c = tint; gl_Position = projectionMatrix * modelViewMatrix * vec4(position + scale * offset, 1.0); }",
    fragmentShader: "varying vec3 c; void main() { gl_FragColor = vec4(c, 1.0); }",
  }));
  deformed.frustumCulled = false;
  // While a large model's view moves it is drawn as its members' deformed chords alone.
  const sketch = new THREE.BufferGeometry();
  sketch.setAttribute("position", new THREE.BufferAttribute(chords, 3));
  const sketchOffset = new Float32Array(6 * M), sketchTint = new Float32Array(6 * M);
  sketch.setAttribute("offset", new THREE.BufferAttribute(sketchOffset, 3));
  sketch.setAttribute("tint", new THREE.BufferAttribute(sketchTint, 3));
  const chordsDeformed = new THREE.LineSegments(sketch, deformed.material);
  chordsDeformed.frustumCulled = false;
  chordsDeformed.visible = false;
  const supports = supportLines(model);
  root.add(undeformed, deformed, chordsDeformed, supports);
  let diagram = null, loads = null, mark = null;
  // Takes a part out of the scene and frees its buffers; null.
  const drop = (part) => {
    if (part) { root.remove(part); part.geometry.dispose(); part.material.dispose(); }
    return null;
  };

  const sets = data.sets;
  const label = (s) => ({
    case: `Load case ${s.id}: ${s.name}`, combination: `Combination ${s.id}: ${s.name}`,
    envelope: `Envelope of ${(s.taken || []).length} result set${(s.taken || []).length === 1 ? "" : "s"}`,
    buckling: `${s.of && s.of[0] === "case" ? "Case" : "Combination"} ${s.of && s.of[1]}, buckling mode ${s.id} (alpha_cr ${fmt(s.factor)})`,
    vibration: `Vibration mode ${s.id} (T ${fmt(s.period)} s, f ${fmt(s.frequency)} Hz)`,
  }[s.kind] + (s.error ? " (failed)" : ""));
  sets.forEach((s, i) => {
    const option = new Option(label(s), String(i));
    option.disabled = Boolean(s.error);
    $("set").add(option);
  });
  const first = sets.findIndex((s) => !s.error);
  $("set").value = String(Math.max(first, 0));
  let current = null, autoScale = 0, quantity = null;

  function chooseSet() {
    current = sets[Number($("set").value)];
    const stations = current.error ? new Float32Array(3 * S * M) : model.offsets(current);
    let largest = 0;
    for (let i = 0; i < stations.length; i += 3) {
      largest = Math.max(largest, Math.hypot(stations[i], stations[i + 1], stations[i + 2]));
    }
    autoScale = largest > 0 ? 0.1 * model.extent / largest : 0;
    V.stations = stations;
    for (let m = 0, v = 0; m < M; m++) {
      for (let k = 0; k < G; k++, v += 2) {
        offset.set(stations.subarray(3 * (m * S + drawn[k]), 3 * (m * S + drawn[k]) + 3), 3 * v);
        offset.set(stations.subarray(3 * (m * S + drawn[k + 1]), 3 * (m * S + drawn[k + 1]) + 3), 3 * v + 3);
      }
    }
    for (let m = 0; m < M; m++) {
      sketchOffset.set(stations.subarray(3 * m * S, 3 * m * S + 3), 6 * m);
      sketchOffset.set(stations.subarray(3 * (m * S + S - 1), 3 * (m * S + S - 1) + 3), 6 * m + 3);
    }
    geometry.attributes.offset.needsUpdate = true;
    sketch.attributes.offset.needsUpdate = true;
    const mode = current.kind === "buckling" || current.kind === "vibration";
    $("animate").checked = mode;
    animate = mode;
    drawLoads(); drawDiagram(); colour(); rescale(); showInfo(V.picked);
  }

  function rescale() {
    const on = $("deformed").checked && autoScale > 0;
    uniforms.scale.value = on ? autoScale * Number($("scale").value) : 0;
    $("scale-text").textContent = on ? `displacements x ${fmt(uniforms.scale.value)}` : "";
    dirty = true;
  }

  function drawLoads() {
    loads = drop(loads);
    const factors = current.kind === "case" ? { [current.id]: 1 } :
      current.kind === "combination" ? (data.combination_factors || {})[String(current.id)] : null;
    if (factors && $("loads").checked) { loads = loadLines(model, factors); root.add(loads); }
    dirty = true;
  }

  // The diagram of one action along every member, in its plane: N, Vz, T and My along local z,
  // Vy and Mz along local y; the largest value drawn as 8 % of the extent.
  function drawDiagram() {
    diagram = drop(diagram);
    const c = Number($("diagram").value);
    const arrays = current.kind === "envelope" ? [current.internal_forces_max, current.internal_forces_min] :
      [current.internal_forces];
    const forces = arrays.map((ref) => model.get(ref)).filter(Boolean);
    if (c < 0 || !forces.length) { legend(); return; }
    // A component that is nothing but what is left of cancellations (a billionth of the set's
    // largest force or moment) is not drawn.
    let peak = 0, reference = 0;
    for (const f of forces) {
      for (let i = 0; i < f.length; i++) {
        if (i % 6 === c) peak = Math.max(peak, Math.abs(f[i]));
        if ((i % 6 >= 3) === (c >= 3)) reference = Math.max(reference, Math.abs(f[i]));
      }
    }
    if (peak <= 1e-9 * reference) peak = 0;
    const p = new Float32Array(forces.length * M * (2 * G + 1) * 6), colours = new Float32Array(p.length);
    let k = 0;
    const axis = c === 1 || c === 5 ? 1 : 2, factor = peak > 0 ? 0.08 * model.extent / peak : 0;
    forces.forEach((f, side) => {
      const rgb = side ? [0.85, 0.19, 0.15] : [0.1, 0.45, 0.91], from = k;
      for (let m = 0; m < M; m++) {
        const A = model.axes.subarray(9 * m + 3 * axis, 9 * m + 3 * axis + 3);
        let previous = null;
        for (const j of drawn) {
          model.along(m, j / (S - 1), point, 3 * j);
          const value = factor * f[6 * (m * S + j) + c];
          const tip = [0, 1, 2].map((q) => point[3 * j + q] + value * A[q]);
          p.set(point.subarray(3 * j, 3 * j + 3), k); p.set(tip, k + 3); k += 6;
          if (previous) { p.set(previous, k); p.set(tip, k + 3); k += 6; }
          previous = tip;
        }
      }
      for (let i = from; i < k; i += 3) colours.set(rgb, i);
    });
    diagram = segments(p, colours, peak > 0 ? k / 3 : 0);
    root.add(diagram);
    legend(peak > 0 ? `${NAMES[c]}: largest ${fmt(peak / KN)} ${c >= 3 ? "kN m" : "kN"}` : `${NAMES[c]}: none`);
    dirty = true;
  }

  // Members coloured by |N|, |M| (the larger of |My| and |Mz|) or span / sag (the length over
  // the largest sag along local y or z; two decades from the least, blue beyond).
  function colour() {
    const kind = $("colour").value, ext = model.get(current.extremes), sag = model.get(current.sag);
    quantity = null;
    if (kind !== "none" && ext && sag) {
      quantity = new Float64Array(M);
      for (let m = 0; m < M; m++) {
        const e = ext.subarray(12 * m, 12 * m + 12), s = sag.subarray(6 * m, 6 * m + 6);
        quantity[m] = kind === "N" ? Math.max(Math.abs(e[0]), Math.abs(e[6])) :
          kind === "M" ? Math.max(Math.abs(e[4]), Math.abs(e[10]), Math.abs(e[5]), Math.abs(e[11])) :
          model.lengths[m] / Math.max(Math.abs(s[1]), Math.abs(s[2]), Math.abs(s[4]), Math.abs(s[5]));
      }
    }
    let top = 0, least = Infinity;
    if (quantity) for (const q of quantity) { top = Math.max(top, Number.isFinite(q) ? q : 0); least = Math.min(least, q); }
    const rgb = new Float32Array(3);
    for (let m = 0, v = 0; m < M; m++) {
      if (!quantity) rgb.set([0.85, 0.19, 0.15]);
      else if (kind === "sag") ramp(Math.log(100 * least / quantity[m]) / Math.log(100), rgb, 0);
      else ramp(top > 0 ? quantity[m] / top : 0, rgb, 0);
      for (let k = 0; k < 2 * G; k++, v++) tint.set(rgb, 3 * v);
      sketchTint.set(rgb, 6 * m); sketchTint.set(rgb, 6 * m + 3);
    }
    geometry.attributes.tint.needsUpdate = true;
    sketch.attributes.tint.needsUpdate = true;
    V.colourRange = quantity ? (kind === "sag" ? [least, 100 * least] : [0, top]) : null;
    legend();
    dirty = true;
  }

  let diagramText = "";
  function legend(text) {
    if (text !== undefined) diagramText = text;
    if ($("diagram").value === "-1") diagramText = "";
    const kind = $("colour").value, r = V.colourRange;
    const unit = kind === "N" ? [KN, "kN"] : kind === "M" ? [KN, "kN m"] : [1, ""];
    const bar = r ? `<p>${{ N: "|N|", M: "|M|", sag: "span / sag" }[kind]} ${unit[1]}</p><div class="bar"></div>` +
      `<div class="ends"><span>${kind === "sag" ? ">= " + fmt(r[1]) : fmt(r[0] / unit[0])}</span>` +
      `<span>${kind === "sag" ? fmt(r[0]) : fmt(r[1] / unit[0])}</span></div>` : "";
    $("legend").innerHTML = bar + (diagramText ? `<p>${diagramText}</p>` : "") +
      "<p>supports: fixed black, pinned blue, other orange</p>";
  }

  // Picking in screen space: the nearest node within 7 px, else the nearest member chord within
  // 6 px.
  const scratch = new THREE.Vector3();
  function project(p) {
    scratch.set(p[0], p[1], p[2]).applyMatrix4(root.matrixWorld).project(camera);
    const r = canvas.getBoundingClientRect();
    return [r.left + (scratch.x + 1) / 2 * r.width, r.top + (1 - scratch.y) / 2 * r.height, scratch.z];
  }
  function pick(x, y) {
    const screen = new Float32Array(2 * N), behind = new Uint8Array(N);
    let best = null, distance = 7;
    for (let n = 0; n < N; n++) {
      const [sx, sy, sz] = project(model.xyz.subarray(3 * n, 3 * n + 3));
      screen[2 * n] = sx; screen[2 * n + 1] = sy; behind[n] = sz > 1 ? 1 : 0;
      const d = Math.hypot(sx - x, sy - y);
      if (!behind[n] && d < distance) { distance = d; best = { node: n }; }
    }
    if (best) return best;
    distance = 6;
    for (let m = 0; m < M; m++) {
      const a = model.ends[2 * m], b = model.ends[2 * m + 1];
      if (behind[a] || behind[b]) continue;
      const ax = screen[2 * a], ay = screen[2 * a + 1], dx = screen[2 * b] - ax, dy = screen[2 * b + 1] - ay;
      const t = Math.min(Math.max(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy || 1), 0), 1);
      const d = Math.hypot(ax + t * dx - x, ay + t * dy - y);
      if (d < distance) { distance = d; best = { member: m }; }
    }
    return best;
  }

  function highlight(picked) {
    mark = drop(mark);
    if (picked && picked.member !== undefined) {
      const p = new Float32Array(6);
      model.along(picked.member, 0, p, 0); model.along(picked.member, 1, p, 3);
      mark = segments(p, new Float32Array([0.98, 0.67, 0, 0.98, 0.67, 0]));
    } else if (picked) {
      const g = new THREE.BufferGeometry();
      g.setAttribute("position", new THREE.BufferAttribute(model.xyz.slice(3 * picked.node, 3 * picked.node + 3), 3));
      mark = new THREE.Points(g, new THREE.PointsMaterial({ color: 0xf9ab00, size: 9, sizeAttenuation: false }));
    }
    if (mark) {
      mark.material.depthTest = false;
      mark.renderOrder = 1;
      root.add(mark);
    }
    dirty = true;
  }

  // The largest magnitude in array `ref` of the result set over the components `which` picks
  // (of `width`), cached.
  function largest(ref, width, which) {
    const key = `${width}:${which}`, cache = (ref.cache = ref.cache || {});
    if (cache[key] === undefined) {
      const values = model.get(ref);
      let top = 0;
      for (let i = 0; i < values.length; i++) if (which(i % width)) top = Math.max(top, Math.abs(values[i]));
      cache[key] = top;
    }
    return cache[key];
  }
  const forces = (c) => c % 6 < 3, moments = (c) => c % 6 >= 3;
  const tinyOf = (ref, width) => { const f = 1e-9 * largest(ref, width, forces), m = 1e-9 * largest(ref, width, moments); return (i) => (forces(i) ? f : m); };

  function table(head, rows, unitOf, tiny) {
    return `<table><tr><th></th>${head.map((h) => `<th>${h}</th>`).join("")}</tr>` + rows.map(([name, values]) =>
      `<tr><th>${name}</th>${Array.from(values, (v, i) => cell(v, unitOf(i), tiny(i))).join("")}</tr>`).join("") + "</table>";
  }

  function showInfo(picked) {
    V.picked = picked;
    const s = current, info = $("info");
    if (!picked || !s) { info.innerHTML = ""; return; }
    const forceUnit = () => KN;
    let html;
    if (picked.member !== undefined) {
      const m = picked.member, id = model.memberIds[m];
      const section = model.sections ? data.section_names[model.sections[m]] : "";
      html = `<h2 id="info-member" data-id="${id}">Member ${id}</h2><p>nodes ${model.nodeIds[model.ends[2 * m]]}` +
        ` to ${model.nodeIds[model.ends[2 * m + 1]]}${section ? ", section " + escape(section) : ""}, length ` +
        `<span data-value="${model.lengths[m]}">${fmt(model.lengths[m])}</span> m</p>` +
        ((s.inactive || []).includes(id) ? "<p>switched off in this result set (tension- or compression-only)</p>" : "");
      const end = model.get(s.end_forces), ext = model.get(s.extremes), sag = model.get(s.sag);
      if (end) {
        html += "<p>End forces, the nodes on the member, local axes (kN, kN m)</p>" +
          table(["fx", "fy", "fz", "mx", "my", "mz"], [["start", end.subarray(12 * m, 12 * m + 6)],
            ["end", end.subarray(12 * m + 6, 12 * m + 12)]], forceUnit, tinyOf(s.end_forces, 6));
      }
      if (ext) {
        html += "<p id=\"extremes\">Extremes along the member, exact (kN, kN m)</p>" +
          table(NAMES, [["min", ext.subarray(12 * m, 12 * m + 6)], ["max", ext.subarray(12 * m + 6, 12 * m + 12)]], forceUnit,
            tinyOf(s.extremes, 6));
      }
      if (sag) {
        const q = sag.subarray(6 * m, 6 * m + 6);
        const most = Math.max(Math.abs(q[1]), Math.abs(q[2]), Math.abs(q[4]), Math.abs(q[5]));
        const tiny = 1e-9 * largest(s.sag, 3, () => true);
        html += "<p>Deflection off the chord (mm)</p>" + table(["ux", "uy", "uz"],
          [["min", q.subarray(0, 3)], ["max", q.subarray(3, 6)]], () => 1 / MM, () => tiny) +
          `<p>span / sag <span id="span-sag">${most > tiny ? Math.round(model.lengths[m] / most) : "-"}</span></p>`;
      }
    } else {
      const n = picked.node, id = model.nodeIds[n];
      html = `<h2 id="info-node" data-id="${id}">Node ${id}</h2><p>at ${Array.from(model.xyz.subarray(3 * n, 3 * n + 3), fmt).join(", ")} m</p>`;
      const unit = (i) => (i < 3 ? 1 / MM : 1 / 1000);
      const rows = (name, ref) => [name, model.get(ref).subarray(6 * n, 6 * n + 6)];
      const ref = s.displacements || s.displacements_min || s.shape;
      const still = ref ? tinyOf(ref, 6) : () => 0;
      const head = ["UX", "UY", "UZ", "RX", "RY", "RZ"];
      if (s.displacements) html += "<p>Displacements (mm, mrad)</p>" + table(head, [rows("", s.displacements)], unit, still);
      if (s.displacements_min) html += "<p>Displacements (mm, mrad)</p>" + table(head, [rows("min", s.displacements_min), rows("max", s.displacements_max)], unit, still);
      if (s.shape) html += "<p>Mode shape (mm, mrad per unit)</p>" + table(head, [rows("", s.shape)], unit, still);
      const k = model.reactionRow.get(n);
      const reaction = (name, ref) => [name, model.get(ref).subarray(6 * k, 6 * k + 6)];
      if (k !== undefined && s.reactions) html += "<p>Reactions, global axes (kN, kN m)</p>" + table(["FX", "FY", "FZ", "MX", "MY", "MZ"], [reaction("", s.reactions)], () => KN, tinyOf(s.reactions, 6));
      if (k !== undefined && s.reactions_min) html += "<p>Reactions, global axes (kN, kN m)</p>" + table(["FX", "FY", "FZ", "MX", "MY", "MZ"], [reaction("min", s.reactions_min), reaction("max", s.reactions_max)], () => KN, tinyOf(s.reactions_max, 6));
    }
    info.innerHTML = html;
  }

  canvas.addEventListener("click", (e) => {
    if (orbit.dragged) return;
    const picked = pick(e.clientX, e.clientY);
    highlight(picked); showInfo(picked);
  });
  let hover = null;
  canvas.addEventListener("mousemove", (e) => {
    if (e.buttons || hover) { hover = [e.clientX, e.clientY]; return; }
    hover = [e.clientX, e.clientY];
    requestAnimationFrame(() => {
      const picked = pick(...hover), tip = $("tip");
      tip.style.display = picked ? "block" : "none";
      if (picked) {
        tip.textContent = picked.member !== undefined ? `member ${model.memberIds[picked.member]}` : `node ${model.nodeIds[picked.node]}`;
        tip.style.left = `${hover[0] + 12}px`; tip.style.top = `${hover[1] + 12}px`;
      }
      hover = null;
    });
  });

  $("set").addEventListener("change", chooseSet);
  $("deformed").addEventListener("change", rescale);
  $("scale").addEventListener("input", rescale);
  $("animate").addEventListener("change", () => { animate = $("animate").checked; rescale(); });
  $("diagram").addEventListener("change", drawDiagram);
  $("colour").addEventListener("change", colour);
  $("loads").addEventListener("change", drawLoads);
  for (const b of document.querySelectorAll("#views button")) b.addEventListener("click", () => orbit.view(b.dataset.view));

  const render = () => renderer.render(scene, camera);
  function frame(time) {
    if (animate && autoScale > 0 && $("deformed").checked) {
      uniforms.scale.value = autoScale * Number($("scale").value) * Math.sin(time * Math.PI / 1000);
      dirty = true;
    }
    if (spinning) orbit.turn(0.01, 0);
    const moving = large && V.sketchWhileMoving && time - moved < 250;
    if (moving !== coarse) { coarse = moving; dirty = true; }
    chordsDeformed.visible = moving;
    deformed.visible = !moving;
    for (const part of [diagram, loads]) if (part) part.visible = !moving;
    undeformed.visible = !moving && $("deformed").checked && autoScale > 0;
    if (dirty) { render(); dirty = false; frames++; }
    requestAnimationFrame(frame);
  }

  Object.assign(V, {
    sketchWhileMoving: true,
    project: (p) => project(p).slice(0, 2),
    memberMidpoint: (id) => { const p = [0, 0, 0]; model.along(model.memberIndex.get(id), 0.5, p, 0); return p; },
    offsetAt: (id, j) => { const q = 3 * (model.memberIndex.get(id) * S + j); return Array.from(V.stations.subarray(q, q + 3)); },
    nodePoint: (id) => Array.from(model.xyz.subarray(3 * model.nodeIndex.get(id), 3 * model.nodeIndex.get(id) + 3)),
    checksum() {
      render();
      const gl = renderer.getContext(), w = gl.drawingBufferWidth, h = gl.drawingBufferHeight;
      const pixels = new Uint8Array(4 * w * h);
      gl.readPixels(0, 0, w, h, gl.RGBA, gl.UNSIGNED_BYTE, pixels);
      let hash = 2166136261, lit = 0;
      for (let i = 0; i < pixels.length; i += 4) {
        if (pixels[i] !== 255 || pixels[i + 1] !== 255 || pixels[i + 2] !== 255) lit++;
        hash = Math.imul(hash ^ (pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16), 16777619) >>> 0;
      }
      return { hash, lit, width: w, height: h };
    },
    spin: (seconds) => new Promise((done) => {
      const start = performance.now(), counted = frames;
      spinning = true;
      setTimeout(() => { spinning = false; done((frames - counted) / ((performance.now() - start) / 1000)); }, seconds * 1000);
    }),
  });
  resize();
  chooseSet();
  requestAnimationFrame(frame);
  $("status").textContent = `${N} nodes, ${M} members; drag to turn, right-drag or shift-drag to pan, wheel to zoom`;
  V.ready = true;
}

main().catch((error) => { $("status").textContent = `error: ${error}`; console.error(error); });
