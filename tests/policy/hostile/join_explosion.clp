; Work the work budget cannot see: one join compares every pair of four
; thousand facts (sixteen million tests, none of them a turn of a loop), so
; only the engine's processor time limit stops the pass.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule fill (world) => (loop-for-count (?i 1 4000) do (assert (item ?i))))
(defrule pair (item ?a) (item ?b&:(= ?a -1)) => (assert (raise_population)))
