; Twenty-six nested and patterns: the engine's rule compiler never finishes.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule deep (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (and (world) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) (colony)) => (assert (raise_population)))
