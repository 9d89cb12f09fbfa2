#!/usr/bin/env node
// Lays out a plain graph with elkjs (algorithm layered, orthogonal edge routing, defaults
// otherwise). elkjs is found through NODE_PATH (<build>/layout_peers/node_modules).
//   node run_elk.js <graph.json> <result.json> [time-out, ignored: the caller stops node]
// Same files as run_dot.py; "ms" is the time of the layout call alone, after a warm-up.
'use strict';
const fs = require('fs');
const ELK = require('elkjs');

async function main() {
    const [graphPath, resultPath] = process.argv.slice(2);
    const graph = JSON.parse(fs.readFileSync(graphPath, 'utf8'));
    const elkGraph = {
        id: 'root',
        layoutOptions: { 'elk.algorithm': 'layered', 'elk.edgeRouting': 'ORTHOGONAL' },
        children: graph.nodes.map(n => ({ id: n.id, width: n.width, height: n.height })),
        edges: graph.edges.map(e => ({ id: e.id, sources: [e.source], targets: [e.target] })),
    };
    const elk = new ELK();
    // A first layout loads and compiles elkjs; an application would have paid that once.
    await elk.layout({ id: 'warm', children: [{ id: 'a', width: 10, height: 10 }], edges: [] });
    const start = process.hrtime.bigint();
    const laid = await elk.layout(elkGraph);
    const ms = Number(process.hrtime.bigint() - start) / 1e6;

    const nodes = laid.children.map(n => ({ id: n.id, x: n.x, y: n.y }));
    const edges = laid.edges.map(e => {
        const points = [];
        for (const s of e.sections || [])
            for (const p of [s.startPoint, ...(s.bendPoints || []), s.endPoint])
                points.push([p.x, p.y]);
        return { id: e.id, points };
    });
    const version = require('elkjs/package.json').version;
    fs.writeFileSync(resultPath, JSON.stringify({ peer: 'elkjs', version: 'elkjs ' + version, ms, nodes, edges }));
}

main().catch(error => {
    console.error(error);
    process.exit(1);
});
